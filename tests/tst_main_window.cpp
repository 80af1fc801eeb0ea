#include "device/event_loop_waiter.h"
#include "support/file_helpers.h"
#include "support/ui_rig.h"
#include "ui/help_pane.h"
#include "ui/operation_runner.h"
#include "ui/screen_print.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QTextBrowser>
#include <QTextEdit>
#include <QtTest>

using ui_test::WindowRig;

namespace {

QString labels(const WindowRig& rig)
{
    return rig.find<QLabel>("CommLabel")->text() + '/' + rig.find<QLabel>("BaudLabel")->text() + '/'
            + rig.find<QLabel>("ParityLabel")->text();
}

// "name=caption" of each item of a menu or of the menu bar.
QString items(const QWidget* owner)
{
    QStringList names;
    for (QAction* action : owner->actions())
        names << action->objectName() + '=' + action->text();
    return names.join(' ');
}

// The two topmost controls not hidden: the help pane shows over the rest, its button above it.
QStringList topmost(const WindowRig& rig)
{
    QStringList names;
    for (QObject* child : rig.find<QWidget>("WebBrowser1")->parentWidget()->children())
        if (child->isWidgetType() && !static_cast<QWidget*>(child)->isHidden())
            names << child->objectName();
    return names.mid(names.size() - 2);
}

const QStringList kHelpShown{"WebBrowser1", "Helpclose"};
const QStringList kGated{"PreviousPage", "NextPage", "StrConfig", "Read", "Send", "VerifyBtn", "GetVersionBtn"};

}  // namespace

class TstMainWindow : public QObject {
    Q_OBJECT

private slots:
    // The labels port/baud/parity, then the text given to the port; a value the port refuses is
    // named in one box, and the frame shows the default in use.
    void startUp_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("refused");
        QTest::newRow("no file") << QByteArray() << "COM1/9600/NONE 9600,N,8,2" << false;
        QTest::newRow("PORT=x") << QByteArray("[COMSETTINGS]\r\nPORT=x\r\nBAUD=4800\r\n") << "COM1/4800/NONE 4800,N,8,2"
                                << true;
        // A lower-case parity letter goes to the port unchanged; the label keeps its caption.
        QTest::newRow("lower-case parity")
                << QByteArray("[COMSETTINGS]\r\nPARITY=e\r\n") << "COM1/9600/ 9600,e,8,2" << false;
        QTest::newRow("refused baud") << QByteArray("[COMSETTINGS]\r\nBAUD=zz\r\nPARITY=E\r\n")
                                      << "COM1/9600/EVEN 9600,E,8,2" << true;
        QTest::newRow("refused parity") << QByteArray("[COMSETTINGS]\r\nBAUD=4800\r\nPARITY=Q\r\n")
                                        << "COM1/4800/NONE 4800,N,8,2" << true;
    }
    void startUp()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, refused);
        WindowRig rig(ini);
        QTEST(labels(rig) + ' ' + rig.link.settingsText(), "expected");
        QCOMPARE(rig.messages.infos.size(), refused ? 1 : 0);
        for (const QString& info : rig.messages.infos)
            QVERIFY2(info.contains(QRegularExpression("^Error detected - .")), qPrintable(info));
        // Every start-up step ran, whatever the settings held; the port is never opened, no file is made.
        QCOMPARE(rig.window->windowTitle(), "QZ4VELD CONFIGURATION v1.02");
        QCOMPARE(rig.find<QComboBox>("StrConfig")->currentText(), "6 Characters (up to 36 keys)");
        QCOMPARE(rig.find<QTextEdit>("StrDes")->size(), QSize(333, 73));  // 5000 x 1090 twips at 96 dpi
        QCOMPARE(rig.link.openCount(), 0);
        QCOMPARE(QFile::exists(rig.iniPath()), !ini.isNull());
    }

    // What an operator reads: captions (a wrapped one keeps its words) and menus; the panes start
    // hidden. Setting up the port again closes an open one first.
    void captionsMenusAndPortSetup()
    {
        WindowRig rig;
        QCOMPARE(rig.find<QPushButton>("Read")->text().replace('\n', ' ') + '|' + rig.find<QLabel>("Label12")->text()
                         + '|' + rig.find<QGroupBox>("Frame1")->title(),
                 "Read Key Outputs From QZ4VELD|Maximum Override String Length|Settings");
        for (const char* hidden : {"Label13", "StrDes", "StrLine", "WebBrowser1", "Helpclose", "CompletionStatus",
                                   "ProgressBar1", "ProgressLabel", "PercentLabel"})
            QVERIFY2(!rig.find<QWidget>(QLatin1String(hidden))->isVisibleTo(rig.window.get()), hidden);
        QCOMPARE(items(rig.window->menuBar()),
                 "FileMenu=File Config=Configuration ClearAll=Clear All prscr=Print Screen HelpMenu=Help");
        QCOMPARE(items(rig.find<QMenu>("File")), "FOpen=Open FSave=Save SaveAs=Save As = Undo=Undo Redo=Redo");
        QCOMPARE(items(rig.find<QMenu>("Help")),
                 "OverView=OverView EnterKey=Entering Keyboard Keys CreateString=Creating Output Strings "
                 "VerifyOp=Verifying Operation Misc=Miscellaneous CloseHelp=Close");
        rig.link.open();
        std::tie(rig.window->settings().comPort, rig.window->settings().parity) = std::tuple(4, QStringLiteral("E"));
        rig.window->setupCommPort();
        QCOMPARE(rig.link.closeCount(), 1);
        QCOMPARE(labels(rig), "COM4/9600/EVEN");
    }

    // During a run the seven controls are off, the menu bar and the lines stay on; afterwards all
    // seven come back, both page buttons even on the first page, also after a leftover error.
    void buttonsRunOperations()
    {
        WindowRig rig;
        QSet<QString> off;
        rig.waiter.setOnEvents([&] {
            for (const QString& name : kGated + QStringList{"MenuBar", "KeyString_0", "LogCheckbox"})
                if (!rig.find<QWidget>(name)->isEnabled())
                    off << name;
        });
        rig.click("GetVersionBtn");
        QCOMPARE(off, QSet<QString>(kGated.cbegin(), kGated.cend()));
        QCOMPARE(rig.find<QLabel>("CompletionStatus")->text(), "Operation Successful");
        rig.device.setSlot(0, 0x1C, QByteArray("x\ry"));  // key A
        rig.click("Read");
        QCOMPARE(rig.kbdKey(0)->text() + ' ' + rig.keyString(0)->text(), "A x{0D}y");
        rig.window->operations().run([&](OperationContext& context) {
            context.view.disableControls();
            throw std::runtime_error("port vanished");
        });
        QCOMPARE(rig.messages.infos, QStringList{"Error detected - port vanished"});
        for (const QString& name : kGated)
            QVERIFY2(rig.find<QWidget>(name)->isEnabled(), qPrintable(name));
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!rig.window->operations().running());
    }

    // The program's own waiter: the close arrives from the nested event loop of a delay.
    void closingEndsTheRealWaitersLoop()
    {
        WindowRig rig;
        EventLoopWaiter waiter;
        MainWindow window(
                MainWindowServices{rig.link, waiter, rig.messages, rig.dialogs, rig.print, rig.folder.path(), {}});
        window.startUp();
        window.show();
        QTimer::singleShot(30, &window, &QWidget::close);
        int delays = 0, nested = 0;
        window.operations().run([&](OperationContext& context) {
            window.operations().run([&](OperationContext&) { ++nested; });  // one operation at a time
            context.link.open();
            for (; delays < 100000; ++delays)
                context.waiter.delay(5);
        });
        QVERIFY(delays < 100000);
        QCOMPARE(nested, 0);
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!window.isVisible());
        QCOMPARE(rig.messages.infos, QStringList());
    }

    // Each item loads its own file, also over another open page ("Verifying Operation" is Verify.htm),
    // at left 200, top 2000 twips, 600 twips narrower and 2700 lower than the window's outer size at
    // the moment of the choice. The button and Help > Close leave the same state.
    void helpPages_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("byButton");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");  // empty: as opened
        QTest::newRow("OverView") << "OverView" << true << "OverView.htm" << QSize();
        QTest::newRow("Entering Keyboard Keys") << "EnterKey" << false << "EnterKey.htm" << QSize(1600, 900);
        QTest::newRow("Creating Output Strings") << "CreateString" << true << "CreateString.htm" << QSize(1200, 1200);
        QTest::newRow("Verifying Operation") << "VerifyOp" << false << "Verify.htm" << QSize();
        QTest::newRow("Miscellaneous") << "Misc" << true << "Misc.htm" << QSize();
    }
    void helpPages()
    {
        QFETCH(QString, item);
        QFETCH(QString, file);
        QFETCH(QSize, size);
        WindowRig rig;
        for (const HelpPane::Page& page : HelpPane::kPages)
            QFile::copy(QStringLiteral(QZ_SOURCE_DIR "/resources/") + QLatin1String(page.file),
                        rig.folder.filePath(QLatin1String(page.file)));
        auto* browser = rig.find<QTextBrowser>("WebBrowser1");
        rig.run("Misc");
        if (size.isValid())
            rig.window->resize(size);
        rig.run(qPrintable(item));
        const QSize outer = rig.window->frameGeometry().size();
        QCOMPARE(browser->geometry(),
                 QRect(rig.px(200), rig.px(2000), outer.width() - rig.px(600), outer.height() - rig.px(2700)));
        const QUrl page = QUrl::fromLocalFile(rig.folder.filePath(file));
        QCOMPARE(browser->source(), page);
        QVERIFY(browser->toPlainText().size() > 100);
        QFETCH(bool, byButton);
        byButton ? rig.click("Helpclose") : rig.run("CloseHelp");
        QVERIFY(browser->isHidden());
        QVERIFY(rig.find<QWidget>("Helpclose")->isHidden());
        QCOMPARE(browser->source(), page);
        rig.run("OverView");
        QCOMPARE(topmost(rig), kHelpShown);
        // A missing page gives a notice naming it, no message box; once back, the item shows the page again.
        const QString path = rig.folder.filePath(file);
        QVERIFY(QFile::rename(path, path + QStringLiteral(".away")));
        rig.run(qPrintable(item));
        QCOMPARE(topmost(rig), kHelpShown);
        QCOMPARE(rig.messages.infos, QStringList());
        QCOMPARE(browser->toPlainText(), HelpPane::missingNotice(path));
        QVERIFY(QFile::rename(path + QStringLiteral(".away"), path));
        rig.run(qPrintable(item));
        QVERIFY(!browser->toPlainText().contains(QStringLiteral("was not found")));
    }

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
        WindowRig rig;
        ui_test::PdfAnswer& dialog = rig.print;
        std::tie(dialog.path, dialog.confirm) = std::tuple(rig.folder.filePath(name), confirm);
        if (confirm && !printed)
            QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        rig.run("prscr");
        QCOMPARE(dialog.asked, 1);
        const QByteArray pdf = test_files::readAll(dialog.path);
        QCOMPARE(pdf.startsWith("%PDF"), printed);
        QCOMPARE(pdf.contains("/Subtype /Image"), printed);
        QCOMPARE(rig.messages.infos, QStringList());
    }

    // Without a printer the dialog starts on a landscape PDF in the home folder. The picture is as
    // large as the area allows with the proportions kept, at the top, centred across.
    void printPage()
    {
        QPrinter printer;
        ScreenPrint::prepare(printer, false);
        QCOMPARE(printer.outputFormat(), QPrinter::PdfFormat);
        QCOMPARE(printer.outputFileName(), QDir::home().filePath(QStringLiteral("qz4veld-screen.pdf")));
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(ScreenPrint::placement(QSize(1000, 700), QRect(0, 0, 500, 800)), QRect(0, 0, 500, 350));
        QCOMPARE(ScreenPrint::placement(QSize(100, 200), QRect(0, 0, 800, 400)), QRect(300, 0, 200, 400));
        QCOMPARE(ScreenPrint::placement(QSize(20, 10), QRect(50, 20, 400, 400)), QRect(50, 20, 400, 200));
        QCOMPARE(ScreenPrint::placement(QSize(0, 0), QRect(10, 10, 400, 400)), QRect(10, 10, 0, 0));
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
