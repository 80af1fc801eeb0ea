#include "device/event_loop_waiter.h"
#include "support/ui_rig.h"
#include "ui/operation_runner.h"
#include "ui/status_panel.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QTextEdit>
#include <QtTest>

using ui_test::WindowRig;

namespace {

QString labels(const WindowRig& rig)
{
    return rig.find<QLabel>("CommLabel")->text() + '/' + rig.find<QLabel>("BaudLabel")->text() + '/'
            + rig.find<QLabel>("ParityLabel")->text();
}

const char* const kGated[] = {"PreviousPage", "NextPage", "StrConfig", "Read", "Send", "VerifyBtn", "GetVersionBtn"};

}  // namespace

class TstMainWindow : public QObject {
    Q_OBJECT

private slots:
    void startUp_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("expected");  // labels port/baud/parity, then the text given to the port
        QTest::addColumn<QString>("message");  // how the one message box starts, if any
        QTest::newRow("no file") << QByteArray() << "COM1/9600/NONE 9600,N,8,2"
                                 << "";
        QTest::newRow("lower-case names")
                << QByteArray("[comsettings]\r\nport=3\r\nbaud=19200\r\nparity=E\r\n") << "COM3/19200/EVEN 19200,E,8,2"
                << "";
        QTest::newRow("PORT=x") << QByteArray("[COMSETTINGS]\r\nPORT=x\r\nBAUD=4800\r\n") << "COM1/4800/NONE 4800,N,8,2"
                                << "Error detected - ";
        // A lower-case parity letter goes to the port unchanged; the label keeps its caption.
        QTest::newRow("lower-case parity") << QByteArray("[COMSETTINGS]\r\nPARITY=e\r\n") << "COM1/9600/ 9600,e,8,2"
                                           << "";
        // A value the port refuses is named once; the frame shows the default in use.
        QTest::newRow("refused baud") << QByteArray("[COMSETTINGS]\r\nBAUD=zz\r\nPARITY=E\r\n")
                                      << "COM1/9600/EVEN 9600,E,8,2"
                                      << "Error detected - ";
        QTest::newRow("refused parity") << QByteArray("[COMSETTINGS]\r\nBAUD=4800\r\nPARITY=Q\r\n")
                                        << "COM1/4800/NONE 4800,N,8,2"
                                        << "Error detected - ";
    }
    void startUp()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, message);
        WindowRig rig(ini);
        QTEST(labels(rig) + ' ' + rig.link.settingsText(), "expected");
        QCOMPARE(rig.messages.infos.size(), message.isEmpty() ? 0 : 1);
        QVERIFY(message.isEmpty()
                || (rig.messages.infos.first().startsWith(message)
                    && rig.messages.infos.first().size() > message.size()));
        // Every start-up step ran, whatever the settings held; the port is never opened, no file is made.
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("QZ4VELD CONFIGURATION v1.02"));
        QCOMPARE(rig.find<QComboBox>("StrConfig")->currentText(), QStringLiteral("6 Characters (up to 36 keys)"));
        QCOMPARE(rig.find<QTextEdit>("StrDes")->size(), QSize(rig.px(5000), rig.px(1090)));
        QCOMPARE(rig.link.openCount(), 0);
        QCOMPARE(QFile::exists(rig.iniPath()), !ini.isNull());
    }

    // A few representative controls and the window's minimum show the twips conversion.
    void layoutCaptionsTipsAndMenus()
    {
        WindowRig rig;
        const int dpi = rig.window->logicalDpiX();
        QCOMPARE(rig.find<QWidget>("VerifyBtn")->geometry(), twips::toRect(5760, 8640, 2055, 615, dpi));
        QCOMPARE(rig.keyString(11)->geometry(), twips::toRect(1920, 1560 + 11 * 480, 4575, 315, dpi));
        QCOMPARE(rig.count(23)->geometry(), twips::toRect(14280, 1560 + 11 * 480, 375, 315, dpi));
        QCOMPARE(rig.window->centralWidget()->minimumSize(), QSize(twips::toPx(14955, dpi), twips::toPx(10470, dpi)));
        const QStringList expected{
                "Read|Read Key Outputs From QZ4VELD|Read QZ4VEL key outputs and write to screen",
                "VerifyBtn|Verify Key Outputs  in QZ4VELD|Verify that QZ4VEL values match those on-screen",
                "KbdKey_4|Row 4 key|Press key to override, or ALT to empty field",
                "KeyString_0|Row 0 output string|Enter ASCII characters, or binary/hexadecimal chars in {}",
                "KeyString_1|Row 1 output string|Enter ASCII characters, or binary chars in {}"};
        for (const QString& entry : expected)
            QCOMPARE(rig.find<QWidget>(entry.section('|', 0, 0))->accessibleName() + '|'
                             + rig.find<QWidget>(entry.section('|', 0, 0))->toolTip(),
                     entry.section('|', 1));
        // A wrapped button caption keeps its words as written.
        QCOMPARE(rig.find<QPushButton>("Read")->text().replace('\n', ' ') + '|' + rig.find<QLabel>("Label12")->text()
                         + '|' + rig.find<QGroupBox>("Frame1")->title(),
                 "Read Key Outputs From QZ4VELD|Maximum Override String Length|Settings");
        for (const char* hidden : {"Label13", "StrDes", "StrLine", "WebBrowser1", "Helpclose", "CompletionStatus",
                                   "ProgressBar1", "ProgressLabel", "PercentLabel"})
            QVERIFY2(!rig.find<QWidget>(QLatin1String(hidden))->isVisibleTo(rig.window.get()), hidden);
        const auto items = [](const QWidget* owner) {
            QStringList names;
            for (QAction* action : owner->actions())
                names << action->objectName() + QLatin1Char('=') + action->text();
            return names.join(' ');
        };
        QCOMPARE(items(rig.window->menuBar()),
                 "FileMenu=File Config=Configuration ClearAll=Clear All prscr=Print Screen HelpMenu=Help");
        QCOMPARE(items(rig.find<QMenu>("File")),
                 QStringLiteral("FOpen=Open FSave=Save SaveAs=Save As = Undo=Undo Redo=Redo"));
        QCOMPARE(items(rig.find<QMenu>("Help")),
                 "OverView=OverView EnterKey=Entering Keyboard Keys CreateString=Creating Output Strings "
                 "VerifyOp=Verifying Operation Misc=Miscellaneous CloseHelp=Close");
        // Setting up the port again closes an open one first.
        rig.link.open();
        std::tie(rig.window->settings().comPort, rig.window->settings().parity) = std::tuple(4, QStringLiteral("E"));
        rig.window->setupCommPort();
        QVERIFY(!rig.link.isOpen() && rig.link.closeCount() == 1);
        QCOMPARE(labels(rig), QStringLiteral("COM4/9600/EVEN"));
    }

    // During a run the seven controls are off, the menu bar and the lines stay on; afterwards all
    // seven come back, both page buttons even on the first page, also after a leftover error.
    void buttonsRunOperations()
    {
        WindowRig rig;
        QSet<QString> disabled;
        bool othersOn = true;
        rig.waiter.setOnEvents([&] {
            for (const char* name : kGated)
                if (!rig.find<QWidget>(QLatin1String(name))->isEnabled())
                    disabled << name;
            othersOn = othersOn && rig.window->menuBar()->isEnabled() && rig.keyString(0)->isEnabled()
                    && rig.find<QWidget>("LogCheckbox")->isEnabled();
        });
        rig.click("GetVersionBtn");
        QVERIFY(disabled.size() == 7 && othersOn && !rig.link.isOpen());
        QCOMPARE(rig.find<QLabel>("CompletionStatus")->text(), QStringLiteral("Operation Successful"));
        rig.device.setSlot(0, 0x1C, QByteArray("x\ry"));  // key A
        rig.click("Read");
        QCOMPARE(rig.window->rows().keyNames.at(0), QStringLiteral("A"));
        QCOMPARE(rig.kbdKey(0)->text() + ' ' + rig.keyString(0)->text(), QStringLiteral("A x{0D}y"));
        rig.window->operations().run([&](OperationContext& context) {
            context.view.disableControls();
            throw std::runtime_error("port vanished");
        });
        QCOMPARE(rig.messages.infos, QStringList{"Error detected - port vanished"});
        for (const char* name : kGated)
            QVERIFY2(rig.find<QWidget>(QLatin1String(name))->isEnabled(), name);
        QVERIFY(!rig.link.isOpen() && !rig.window->operations().running());
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
        QVERIFY(delays < 100000 && nested == 0);
        QVERIFY(!rig.link.isOpen() && !window.isVisible() && rig.messages.infos.isEmpty());
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
