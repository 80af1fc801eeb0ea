#include "ui/screen_print.h"

#include <QDir>
#include <QPageLayout>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>

#include <exception>

bool QtPrintDialog::choosePrinter(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

ScreenPrint::ScreenPrint(QWidget& window, PrintDialog& dialog) : m_window(window), m_dialog(dialog)
{ }

QString ScreenPrint::defaultPdfPath()
{
    return QDir::home().filePath(QLatin1String(kDocumentName) + QStringLiteral(".pdf"));
}

void ScreenPrint::prepare(QPrinter& printer, bool havePrinters)
{
    printer.setDocName(QLatin1String(kDocumentName));
    printer.setPageOrientation(QPageLayout::Landscape);
    if (!havePrinters) {
        // The dialog then opens on "Print to File (PDF)" with this name filled in.
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(defaultPdfPath());
    }
}

QRect ScreenPrint::placement(const QSize& picture, const QRect& area)
{
    if (picture.isEmpty() || area.isEmpty())
        return QRect(area.topLeft(), QSize(0, 0));
    const QSize size = picture.scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(area.left() + (area.width() - size.width()) / 2, area.top(), size.width(), size.height());
}

bool ScreenPrint::printPicture(QPrinter& printer, const QPixmap& picture)
{
    if (picture.isNull())
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(placement(picture.size(), painter.viewport()), picture);
    return painter.end();
}

ScreenPrint::Outcome ScreenPrint::print()
{
    // Whatever goes wrong ends the command without a word, as a cancel does.
    try {
        QPrinter printer(QPrinter::HighResolution);
        prepare(printer, !QPrinterInfo::availablePrinterNames().isEmpty());
        if (!m_dialog.choosePrinter(printer, &m_window))
            return Outcome::Cancelled;
        const QPixmap picture = m_window.grab();
        return printPicture(printer, picture) ? Outcome::Printed : Outcome::Failed;
    } catch (const std::exception&) {
        return Outcome::Failed;
    }
}
