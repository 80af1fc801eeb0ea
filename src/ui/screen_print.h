#pragma once

#include <QObject>
#include <QRect>
#include <QString>

class QPixmap;
class QPrinter;
class QWidget;

// The printer dialog, behind an interface so that tests can answer it. It may
// change the printer (printer, PDF file, page) and returns true when the
// operator confirmed.
class PrintDialog {
public:
    virtual ~PrintDialog() = default;
    virtual bool choosePrinter(QPrinter& printer, QWidget* parent) = 0;
};

// The desktop's own printer dialog; its "Print to File (PDF)" entry works on
// machines without any printer.
class QtPrintDialog final : public PrintDialog {
public:
    bool choosePrinter(QPrinter& printer, QWidget* parent) override;
};

// Print Screen: the printer dialog first; only when it is confirmed, a picture
// of the window scaled to the page. A cancel or any failure ends silently.
class ScreenPrint final : public QObject {
    Q_OBJECT

public:
    enum class Outcome { Printed, Cancelled, Failed };

    static constexpr const char* kDocumentName = "qz4veld-screen";

    // Prints `window` after asking `dialog`.
    ScreenPrint(QWidget& window, PrintDialog& dialog);

    Outcome print();

    // What the dialog starts with: a landscape page (the window is wider than
    // tall) and a document name that names the PDF file. Without any printer
    // it starts on a PDF file in the home folder.
    static void prepare(QPrinter& printer, bool havePrinters);
    static QString defaultPdfPath();

    // Where a picture goes in the printable area: as large as the area allows
    // with its proportions kept, at the top and centred across.
    static QRect placement(const QSize& picture, const QRect& area);
    // Draws the picture there. False when the printer cannot be started.
    static bool printPicture(QPrinter& printer, const QPixmap& picture);

private:
    QWidget& m_window;
    PrintDialog& m_dialog;
};
