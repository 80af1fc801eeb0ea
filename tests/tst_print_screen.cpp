#include "support/file_helpers.h"
#include "support/ui_rig.h"
#include "ui/screen_print.h"

#include <QDir>
#include <QPrinter>
#include <QtTest>

class TstPrintScreen : public QObject {
    Q_OBJECT

private slots:
    // The menu command asks the dialog once; a confirmed PDF holds the window's
    // picture; a cancel or an unwritable file leaves no file and no message.
    void printFlow_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("name");
        QTest::newRow("confirmed") << true << "screen.pdf";
        QTest::newRow("cancelled") << false << "screen.pdf";
        QTest::newRow("confirmed, folder missing") << true << "no/such/screen.pdf";
    }
    void printFlow()
    {
        QFETCH(bool, confirm);
        QFETCH(QString, name);
        const bool printed = confirm && !name.contains('/');
        ui_test::WindowRig rig;
        ui_test::PdfAnswer& dialog = rig.print;
        std::tie(dialog.path, dialog.confirm) = std::tuple(rig.folder.filePath(name), confirm);
        if (confirm && !printed)
            QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        rig.run("prscr");
        QCOMPARE(dialog.asked, 1);
        const QByteArray pdf = test_files::readAll(dialog.path);
        QVERIFY(printed ? pdf.startsWith("%PDF") && pdf.contains("/Subtype /Image") : !QFile::exists(dialog.path));
        QVERIFY(rig.messages.infos.isEmpty());
    }

    // Without a printer the dialog starts on a landscape PDF in the home folder.
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
        QTEST(ScreenPrint::placement(picture, area), "expected");
    }
};

QTEST_MAIN(TstPrintScreen)
#include "tst_print_screen.moc"
