#include "support/ui_rig.h"
#include "ui/screen_print.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using ui_test::WindowRig;

namespace {

// Answers the printer dialog as an operator choosing "Print to File (PDF)"
// would, with a file name of the test's choosing, then confirms or cancels.
class PdfAnswer final : public PrintDialog {
public:
    PdfAnswer(QString path, bool confirm, int* asked) : m_path(std::move(path)), m_confirm(confirm), m_asked(asked) {}

    bool choosePrinter(QPrinter& printer, QWidget*) override
    {
        ++*m_asked;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_path);
        return m_confirm;
    }

private:
    QString m_path;
    bool m_confirm;
    int* m_asked;
};

QByteArray head(const QString& path, int bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(bytes) : QByteArray();
}

}  // namespace

class TstPrintScreen : public QObject {
    Q_OBJECT

private slots:
    // The menu command asks the dialog once; a confirmed PDF holds the picture,
    // a cancel writes nothing, a file that cannot be written fails quietly.
    void printFlow_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<bool>("writableFolder");
        QTest::addColumn<bool>("fileExpected");
        QTest::newRow("confirmed") << true << true << true;
        QTest::newRow("cancelled") << false << true << false;
        QTest::newRow("confirmed, folder missing") << true << false << false;
    }
    void printFlow()
    {
        QFETCH(bool, confirm);
        QFETCH(bool, writableFolder);
        QFETCH(bool, fileExpected);
        WindowRig rig;
        QTemporaryDir out;
        const QString path = writableFolder ? out.filePath(QStringLiteral("screen.pdf"))
                                            : out.filePath(QStringLiteral("no/such/folder/screen.pdf"));
        auto* print = rig.window->findChild<ScreenPrint*>();
        QVERIFY(print);
        int asked = 0;
        print->setDialog(std::make_unique<PdfAnswer>(path, confirm, &asked));
        if (confirm && !writableFolder)
            QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");

        rig.window->menuAction(QStringLiteral("prscr"))->trigger();

        QCOMPARE(asked, 1);
        QCOMPARE(QFile::exists(path), fileExpected);
        if (fileExpected) {
            QCOMPARE(head(path, 5), QByteArray("%PDF-"));
            QFile pdf(path);
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            QVERIFY(pdf.readAll().contains("/Subtype /Image"));  // the picture, not an empty page
        }
        QVERIFY(rig.messages.infos.isEmpty());
        QVERIFY(rig.messages.confirms.isEmpty());
    }

    void outcomes()
    {
        WindowRig rig;
        QTemporaryDir out;
        int asked = 0;
        ScreenPrint print(*rig.window, nullptr,
                          std::make_unique<PdfAnswer>(out.filePath(QStringLiteral("a.pdf")), true, &asked));
        QCOMPARE(print.print(), ScreenPrint::Outcome::Printed);
        print.setDialog(std::make_unique<PdfAnswer>(out.filePath(QStringLiteral("b.pdf")), false, &asked));
        QCOMPARE(print.print(), ScreenPrint::Outcome::Cancelled);
        print.setDialog(std::make_unique<PdfAnswer>(out.filePath(QStringLiteral("x/c.pdf")), true, &asked));
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        QCOMPARE(print.print(), ScreenPrint::Outcome::Failed);
        print.setDialog(nullptr);  // keeps the last dialog rather than leaving none
        QCOMPARE(print.print(), ScreenPrint::Outcome::Failed);
        QCOMPARE(asked, 4);
    }

    // What the dialog opens on: a PDF in the home folder when there is no
    // printer, the system's printer otherwise; landscape either way.
    void dialogStart_data()
    {
        QTest::addColumn<bool>("havePrinters");
        QTest::newRow("no printer") << false;
        QTest::newRow("printers") << true;
    }
    void dialogStart()
    {
        QFETCH(bool, havePrinters);
        QPrinter printer;
        printer.setOutputFileName(QString());
        ScreenPrint::prepare(printer, havePrinters);
        QCOMPARE(printer.docName(), QStringLiteral("qz4veld-screen"));
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
        if (havePrinters) {
            QVERIFY(printer.outputFileName().isEmpty());
        } else {
            QCOMPARE(printer.outputFormat(), QPrinter::PdfFormat);
            QCOMPARE(printer.outputFileName(), QDir::home().filePath(QStringLiteral("qz4veld-screen.pdf")));
        }
    }

    // The picture fills the printable area as far as its proportions allow,
    // at the top and centred across.
    void placement_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("wide picture, tall page") << QSize(1000, 700) << QRect(0, 0, 500, 800) << QRect(0, 0, 500, 350);
        QTest::newRow("tall picture, wide page") << QSize(100, 200) << QRect(0, 0, 800, 400) << QRect(300, 0, 200, 400);
        QTest::newRow("small picture grows") << QSize(10, 7) << QRect(0, 0, 1000, 1000) << QRect(0, 0, 1000, 700);
        QTest::newRow("offset area") << QSize(200, 100) << QRect(50, 20, 400, 400) << QRect(50, 20, 400, 200);
        QTest::newRow("empty picture") << QSize(0, 0) << QRect(10, 10, 400, 400) << QRect(10, 10, 0, 0);
        QTest::newRow("empty area") << QSize(200, 100) << QRect(5, 5, 0, 0) << QRect(5, 5, 0, 0);
    }
    void placement()
    {
        QFETCH(QSize, picture);
        QFETCH(QRect, area);
        QFETCH(QRect, expected);
        QCOMPARE(ScreenPrint::placement(picture, area), expected);
    }

    void emptyPictureIsNotPrinted()
    {
        QTemporaryDir out;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out.filePath(QStringLiteral("empty.pdf")));
        QVERIFY(!ScreenPrint::printPicture(printer, QPixmap()));
        QVERIFY(!QFile::exists(printer.outputFileName()));
    }
};

QTEST_MAIN(TstPrintScreen)
#include "tst_print_screen.moc"
