#include "support/ui_rig.h"
#include "ui/screen_print.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

// Answers the printer dialog as an operator choosing "Print to File (PDF)"
// with the given file would, then confirms or cancels.
class PdfAnswer final : public PrintDialog {
public:
    PdfAnswer(QString path, bool confirm) : m_path(std::move(path)), m_confirm(confirm) {}
    bool choosePrinter(QPrinter& printer, QWidget*) override
    {
        ++asked;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_path);
        return m_confirm;
    }
    int asked = 0;

private:
    QString m_path;
    bool m_confirm;
};

class TstPrintScreen : public QObject {
    Q_OBJECT

private slots:
    // The menu command asks the dialog once; a confirmed PDF holds the
    // window's picture; a cancel or an unwritable file leaves no file and no message.
    void printFlow_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("printed");
        QTest::newRow("confirmed") << true << "screen.pdf" << true;
        QTest::newRow("cancelled") << false << "screen.pdf" << false;
        QTest::newRow("confirmed, folder missing") << true << "no/such/screen.pdf" << false;
    }
    void printFlow()
    {
        QFETCH(bool, confirm);
        QFETCH(QString, name);
        QFETCH(bool, printed);
        ui_test::WindowRig rig;
        QTemporaryDir out;
        const QString path = out.filePath(name);
        auto answer = std::make_unique<PdfAnswer>(path, confirm);
        PdfAnswer& dialog = *answer;
        auto* print = rig.window->findChild<ScreenPrint*>();
        QVERIFY(print);
        print->setDialog(std::move(answer));
        if (confirm && !printed)
            QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");

        rig.window->menuAction(QStringLiteral("prscr"))->trigger();

        QCOMPARE(dialog.asked, 1);
        QFile pdf(path);
        QCOMPARE(pdf.open(QIODevice::ReadOnly), printed);
        if (printed) {
            const QByteArray bytes = pdf.readAll();
            QVERIFY(bytes.startsWith("%PDF"));
            QVERIFY(bytes.contains("/Subtype /Image"));  // the picture, not an empty page
        }
        QVERIFY(rig.messages.infos.isEmpty());
    }

    // Without a printer the dialog starts on a PDF in the home folder.
    void dialogStart()
    {
        QPrinter printer;
        ScreenPrint::prepare(printer, false);
        QCOMPARE(printer.outputFormat(), QPrinter::PdfFormat);
        QCOMPARE(printer.outputFileName(), QDir::home().filePath(QStringLiteral("qz4veld-screen.pdf")));
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
    }

    // As large as the area allows with the proportions kept, at the top, centred across.
    void placement_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("wide picture, tall page") << QSize(1000, 700) << QRect(0, 0, 500, 800) << QRect(0, 0, 500, 350);
        QTest::newRow("tall picture, wide page") << QSize(100, 200) << QRect(0, 0, 800, 400) << QRect(300, 0, 200, 400);
        QTest::newRow("offset area, grows") << QSize(20, 10) << QRect(50, 20, 400, 400) << QRect(50, 20, 400, 200);
        QTest::newRow("empty picture") << QSize(0, 0) << QRect(10, 10, 400, 400) << QRect(10, 10, 0, 0);
    }
    void placement()
    {
        QFETCH(QSize, picture);
        QFETCH(QRect, area);
        QFETCH(QRect, expected);
        QCOMPARE(ScreenPrint::placement(picture, area), expected);
    }
};

QTEST_MAIN(TstPrintScreen)
#include "tst_print_screen.moc"
