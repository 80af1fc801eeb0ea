#include "device/event_loop_waiter.h"
#include "files/settings.h"
#include "support/ui_rig.h"
#include "ui/row_lines.h"
#include "ui/status_panel.h"
#include "ui/twips.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

using ui_test::WindowRig;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString labelText(const WindowRig& rig, const char* name)
{
    const auto* label = rig.find<QLabel>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

const char* const kGated[] = {"PreviousPage", "NextPage", "StrConfig", "Read", "Send", "VerifyBtn", "GetVersionBtn"};

}  // namespace

class TstMainWindow : public QObject {
    Q_OBJECT

private slots:
    void startUpWithoutSettingsFile()
    {
        WindowRig rig;
        MainWindow& w = *rig.window;
        QCOMPARE(w.windowTitle(), QStringLiteral("QZ4VELD CONFIGURATION v1.02"));
        QCOMPARE(labelText(rig, "CommLabel"), QStringLiteral("COM1"));
        QCOMPARE(labelText(rig, "BaudLabel"), QStringLiteral("9600"));
        QCOMPARE(labelText(rig, "ParityLabel"), QStringLiteral("NONE"));
        QCOMPARE(labelText(rig, "CfgLabel"), QStringLiteral("None"));
        QCOMPARE(w.strConfig()->currentText(), QStringLiteral("6 Characters (up to 36 keys)"));
        QCOMPARE(w.stringLength(), 6);
        QCOMPARE(w.currentPage(), 0);
        for (int i = 0; i < RowLines::kLines; ++i) {
            QCOMPARE(rig.rowLabel(i)->text(), QString::number(i));
            QVERIFY(rig.keyString(i)->text().isEmpty() && rig.kbdKey(i)->text().isEmpty());
            QVERIFY(rig.keyString(i)->isEnabled() && !rig.image(i)->isVisibleTo(&w));
        }
        QVERIFY(rig.messages.infos.isEmpty());
        // The port is configured but never opened, and the settings file is not created.
        QCOMPARE(rig.link.openCount(), 0);
        QCOMPARE(rig.link.settingsText(), QStringLiteral("9600,N,8,2"));
        QVERIFY(!QFile::exists(rig.iniPath()));
        QCOMPARE(w.notesBox()->size(), QSize(w.placer().px(5000), w.placer().px(1090)));
    }

    // Labels "port/baud/parity", the text given to the port, and the start of each message box.
    void startUpWithSettingsFile_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("labels");
        QTest::addColumn<QString>("linkSettings");
        QTest::addColumn<QStringList>("messageStarts");
        const QStringList detected{"Error detected - "};
        QTest::newRow("lower-case names") << QByteArray("[comsettings]\r\nport=3\r\nbaud=19200\r\nparity=E\r\n")
                                          << "COM3/19200/EVEN" << "19200,E,8,2" << QStringList();
        QTest::newRow("PORT=x") << QByteArray("[COMSETTINGS]\r\nPORT=x\r\nBAUD=4800\r\n") << "COM1/4800/NONE"
                                << "4800,N,8,2" << detected;
        QTest::newRow("ENABLESTRINGS=on") << QByteArray("[GENERAL]\r\nENABLESTRINGS=on\r\n") << "COM1/9600/NONE"
                                          << "9600,N,8,2" << detected;
        // A lower-case parity letter goes to the port unchanged; the label keeps its caption.
        QTest::newRow("lower-case parity") << QByteArray("[COMSETTINGS]\r\nPARITY=e\r\n") << "COM1/9600/"
                                           << "9600,e,8,2" << QStringList();
        // The port refuses the rate: one box, no label written.
        QTest::newRow("refused baud") << QByteArray("[COMSETTINGS]\r\nBAUD=fast\r\n") << "//" << "9600,N,8,2"
                                      << QStringList{"Error setting up comm port - "};
    }
    void startUpWithSettingsFile()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, labels);
        QFETCH(QString, linkSettings);
        QFETCH(QStringList, messageStarts);
        WindowRig rig(ini);
        QCOMPARE(QStringList({labelText(rig, "CommLabel"), labelText(rig, "BaudLabel"), labelText(rig, "ParityLabel")})
                         .join('/'),
                 labels);
        QCOMPARE(rig.link.settingsText(), linkSettings);
        QCOMPARE(rig.messages.infos.size(), messageStarts.size());
        for (int i = 0; i < messageStarts.size(); ++i)
            QVERIFY(rig.messages.infos.at(i).startsWith(messageStarts.at(i))
                    && rig.messages.infos.at(i).size() > messageStarts.at(i).size());
        // Every start-up step ran, whatever the settings held.
        QCOMPARE(rig.window->strConfig()->currentIndex(), 5);
        QCOMPARE(rig.window->notesBox()->width(), rig.window->placer().px(5000));
    }

    void extraSectionsKeptAfterSettingsSave()
    {
        const QByteArray ini("[COMSETTINGS]\r\nPORT=2\r\n[PORTS]\r\nCOM2=/dev/ttyUSB0\r\n[NOTES]\r\nwho=bench 3\r\n");
        WindowRig rig(ini);
        QCOMPARE(rig.window->settings().portPaths.value(2), QStringLiteral("/dev/ttyUSB0"));
        rig.window->settings().parity = QStringLiteral("O");
        settings_file::save(rig.iniPath(), rig.window->settings());
        const QByteArray saved = readFile(rig.iniPath());
        QVERIFY(saved.contains("[PORTS]\r\nCOM2=/dev/ttyUSB0\r\n"));
        QVERIFY(saved.contains("[NOTES]\r\nwho=bench 3\r\n"));
        QVERIFY(saved.contains("PARITY=O"));
    }

    void setupCommPortClosesAnOpenPort()
    {
        WindowRig rig;
        rig.link.open();
        rig.window->settings().comPort = 4;
        rig.window->settings().parity = QStringLiteral("E");
        rig.window->setupCommPort();
        QVERIFY(!rig.link.isOpen());
        QCOMPARE(rig.link.closeCount(), 1);
        QCOMPARE(labelText(rig, "CommLabel"), QStringLiteral("COM4"));
        QCOMPARE(labelText(rig, "ParityLabel"), QStringLiteral("EVEN"));
        // A refused value: one box, the labels keep their captions.
        rig.window->settings().comPort = 5;
        rig.window->settings().baud = QStringLiteral("96OO");
        rig.window->setupCommPort();
        QCOMPARE(rig.messages.infos.size(), 1);
        QVERIFY(rig.messages.infos.first().startsWith(QStringLiteral("Error setting up comm port - ")));
        QCOMPARE(labelText(rig, "CommLabel"), QStringLiteral("COM4"));
    }

    void geometryFromTwips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twipRect");
        QTest::newRow("NextPage") << "NextPage" << QRect(8040, 7440, 2055, 375);
        QTest::newRow("StatusBox") << "StatusBox" << QRect(8040, 8160, 6615, 2220);
        QTest::newRow("VerifyBtn") << "VerifyBtn" << QRect(5760, 8640, 2055, 615);
        QTest::newRow("Helpclose") << "Helpclose" << QRect(12480, 2160, 1575, 495);
        QTest::newRow("line 11 string") << "KeyString_11" << QRect(1920, 1560 + 11 * 480, 4575, 315);
        QTest::newRow("line 13 key") << "KbdKey_13" << QRect(8520, 2040, 855, 315);
        QTest::newRow("line 23 count") << "StringCount_23" << QRect(14280, 1560 + 11 * 480, 375, 315);
    }
    void geometryFromTwips()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twipRect);
        WindowRig rig;
        const auto* widget = rig.find<QWidget>(name);
        QVERIFY2(widget, qPrintable(name));
        const int dpi = rig.window->placer().dpi();
        QCOMPARE(widget->geometry(), twips::toRect(twipRect.x(), twipRect.y(), twipRect.width(), twipRect.height(), dpi));
        QCOMPARE(rig.window->centralWidget()->minimumSize(), QSize(twips::toPx(14955, dpi), twips::toPx(10470, dpi)));
    }

    void captionsTipsAndVisibility()
    {
        WindowRig rig;
        const QWidget* w = rig.window.get();
        struct Expected { const char* name; const char* caption; const char* tip; };
        const Expected expected[] = {
                {"Read", "Read Key Outputs From QZ4VELD", "Read QZ4VEL key outputs and write to screen"},
                {"VerifyBtn", "Verify Key Outputs  in QZ4VELD", "Verify that QZ4VEL values match those on-screen"},
                {"KbdKey_4", "Row 4 key", "Press key to override, or ALT to empty field"},
                {"KeyString_0", "Row 0 output string", "Enter ASCII characters, or binary/hexadecimal chars in {}"},
                {"KeyString_1", "Row 1 output string", "Enter ASCII characters, or binary chars in {}"}};
        for (const Expected& e : expected) {
            const auto* widget = rig.find<QWidget>(QLatin1String(e.name));
            QCOMPARE(widget->accessibleName(), QLatin1String(e.caption));
            QCOMPARE(widget->toolTip(), QLatin1String(e.tip));
        }
        // A wrapped button caption keeps its words as written.
        QCOMPARE(rig.find<QPushButton>("Read")->text().replace('\n', ' '), QStringLiteral("Read Key Outputs From QZ4VELD"));
        QCOMPARE(labelText(rig, "Label12"), QStringLiteral("Maximum Override String Length"));
        QCOMPARE(rig.find<QGroupBox>("Frame1")->title(), QStringLiteral("Settings"));
        for (const char* hidden : {"Label13", "StrDes", "StrLine", "WebBrowser1", "Helpclose", "CompletionStatus",
                                   "ProgressBar1", "ProgressLabel", "PercentLabel"}) {
            const auto* widget = rig.find<QWidget>(QLatin1String(hidden));
            QVERIFY2(widget && !widget->isVisibleTo(w), hidden);
        }
        QCOMPARE(rig.window->notesBox()->palette().color(QPalette::Base), QColor(255, 255, 192));
    }

    void menus()
    {
        WindowRig rig;
        QStringList top;
        for (QAction* action : rig.window->menuBar()->actions())
            top << action->text();
        QCOMPARE(top, (QStringList{"File", "Configuration", "Clear All", "Print Screen", "Help"}));
        auto items = [&rig](const char* menu) {
            QStringList names;
            for (QAction* action : rig.find<QMenu>(QLatin1String(menu))->actions())
                names << action->objectName() + QLatin1Char('=') + action->text();
            return names;
        };
        QCOMPARE(items("File"), (QStringList{"FOpen=Open", "FSave=Save", "SaveAs=Save As"}));
        QCOMPARE(items("Help"), (QStringList{"OverView=OverView", "EnterKey=Entering Keyboard Keys",
                                             "CreateString=Creating Output Strings", "VerifyOp=Verifying Operation",
                                             "Misc=Miscellaneous", "CloseHelp=Close"}));
        for (const char* command : {"Config", "ClearAll", "prscr"})
            QVERIFY(rig.window->menuBar()->actions().contains(rig.window->menuAction(QLatin1String(command))));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.window->menuAction(QStringLiteral("NoSuchItem")));
    }

    void disableAndEnableTheSevenControls()
    {
        WindowRig rig;
        rig.window->disableControls();
        for (const char* name : kGated)
            QVERIFY2(!rig.find<QWidget>(QLatin1String(name))->isEnabled(), name);
        QVERIFY(rig.window->menuBar()->isEnabled());
        QVERIFY(rig.keyString(0)->isEnabled() && rig.find<QWidget>("LogCheckbox")->isEnabled());
        rig.window->enableControls();
        // Both page buttons come back, even on the first page.
        for (const char* name : kGated)
            QVERIFY2(rig.find<QWidget>(QLatin1String(name))->isEnabled(), name);
    }

    void versionButtonRunsTheVersionQuery()
    {
        WindowRig rig;
        QStringList disabledDuringRun;
        rig.waiter.setOnEvents([&] {
            for (const char* name : kGated)
                if (!rig.find<QWidget>(QLatin1String(name))->isEnabled() && !disabledDuringRun.contains(name))
                    disabledDuringRun << name;
        });
        rig.find<QPushButton>("GetVersionBtn")->click();
        QCOMPARE(disabledDuringRun.size(), 7);
        const QStringList lines = rig.window->status().lines();
        QVERIFY2(lines.contains(QStringLiteral("Requesting Version")), qPrintable(lines.join('|')));
        QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [](const QString& l) { return l.startsWith("Version = "); }));
        QCOMPARE(rig.find<QLabel>("CompletionStatus")->text(), QStringLiteral("Operation Successful"));
        QVERIFY(!rig.link.isOpen() && rig.find<QWidget>("Read")->isEnabled());
    }

    void readButtonFillsTheLinesFromTheDevice()
    {
        WindowRig rig;
        rig.device.setSlot(0, 0x1C, QByteArray("x\ry"));  // key A
        rig.find<QPushButton>("Read")->click();
        QCOMPARE(rig.window->rows().keyNames.at(0), QStringLiteral("A"));
        QCOMPARE(rig.kbdKey(0)->text(), QStringLiteral("A"));
        QCOMPARE(rig.keyString(0)->text(), QStringLiteral("x{0D}y"));
        QVERIFY(!rig.link.isOpen() && rig.find<QWidget>("Read")->isEnabled());
    }

    void leftoverErrorIsReportedAndControlsComeBack()
    {
        WindowRig rig;
        rig.window->runOperation([&](OperationContext& context) {
            context.view.disableControls();
            throw std::runtime_error("port vanished");
        });
        QCOMPARE(rig.messages.infos, QStringList{"Error detected - port vanished"});
        QVERIFY(rig.find<QWidget>("GetVersionBtn")->isEnabled() && !rig.window->operationRunning());
    }

    // The program's own waiter: the close arrives from the nested event loop of a delay.
    void closingEndsTheRealWaitersLoop()
    {
        QTemporaryDir folder;
        DeviceModel device;
        VirtualClock clock;
        FakeSerialLink link(device, clock);
        EventLoopWaiter waiter;
        fakedev::RecordingMessages messages;
        ui_test::ScriptedFileDialogs dialogs;
        MainWindow window(MainWindowServices{link, waiter, messages, dialogs, folder.path()});
        window.startUp();
        window.show();
        QTimer::singleShot(30, &window, &QWidget::close);
        int delays = 0;
        int nested = 0;
        window.runOperation([&](OperationContext& context) {
            window.runOperation([&](OperationContext&) { ++nested; });  // one operation at a time
            context.link.open();
            for (; delays < 100000; ++delays)
                context.waiter.delay(5);
        });
        QVERIFY(delays < 100000 && nested == 0);
        QVERIFY(!link.isOpen() && !window.isVisible() && messages.infos.isEmpty());
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
