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
#include <QLineEdit>
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
        QCOMPARE(w.strConfig()->count(), 10);
        QCOMPARE(w.strConfig()->currentIndex(), 5);
        QCOMPARE(w.strConfig()->currentText(), QStringLiteral("6 Characters (up to 36 keys)"));
        QCOMPARE(w.strConfig()->itemText(0), QStringLiteral("1 Character  (up to 93 keys)"));
        QCOMPARE(w.stringLength(), 6);
        QCOMPARE(w.currentPage(), 0);
        QVERIFY(w.configFileName().isEmpty());
        QCOMPARE(w.settings().enableStrings, 0);
        for (int i = 0; i < RowLines::kLines; ++i) {
            QCOMPARE(rig.rowLabel(i)->text(), QString::number(i));
            QVERIFY(rig.keyString(i)->text().isEmpty() && rig.kbdKey(i)->text().isEmpty());
            QCOMPARE(rig.count(i)->text(), QStringLiteral("0"));
            QVERIFY(rig.keyString(i)->isEnabled());
            QVERIFY(!rig.image(i)->isVisibleTo(&w));
        }
        QVERIFY(rig.messages.infos.isEmpty());
        // The port is configured but never opened, and the settings file is not created.
        QVERIFY(!rig.link.isOpen());
        QCOMPARE(rig.link.openCount(), 0);
        QCOMPARE(rig.link.settingsText(), QStringLiteral("9600,N,8,2"));
        QCOMPARE(rig.link.portNumber(), 1);
        QVERIFY(!QFile::exists(rig.iniPath()));
        const twips::Placer& placer = w.placer();
        QCOMPARE(w.notesBox()->size(), QSize(placer.px(5000), placer.px(1090)));
    }

    void startUpWithSettingsFile_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<QString>("linkSettings");
        QTest::addColumn<int>("enableStrings");
        QTest::addColumn<QStringList>("messageStarts");
        QTest::newRow("lower-case names")
                << QByteArray("[comsettings]\r\nport=3\r\nbaud=19200\r\nparity=E\r\n[general]\r\nenablestrings=1\r\n")
                << "COM3" << "19200" << "EVEN" << "19200,E,8,2" << 1 << QStringList();
        QTest::newRow("only the port") << QByteArray("[COMSETTINGS]\r\nPORT=3\r\n") << "COM3" << "9600" << "NONE"
                                       << "9600,N,8,2" << 0 << QStringList();
        QTest::newRow("two-digit port") << QByteArray("[COMSETTINGS]\r\nPORT=12\r\nPARITY=O\r\n") << "COM12" << "9600"
                                        << "ODD" << "9600,O,8,2" << 0 << QStringList();
        QTest::newRow("PORT=x") << QByteArray("[COMSETTINGS]\r\nPORT=x\r\nBAUD=4800\r\n") << "COM1" << "4800" << "NONE"
                                << "4800,N,8,2" << 0 << QStringList{"Error detected - "};
        QTest::newRow("ENABLESTRINGS=on") << QByteArray("[GENERAL]\r\nENABLESTRINGS=on\r\n") << "COM1" << "9600"
                                          << "NONE" << "9600,N,8,2" << 0 << QStringList{"Error detected - "};
        QTest::newRow("both numbers bad")
                << QByteArray("[COMSETTINGS]\r\nPORT=one\r\n[GENERAL]\r\nENABLESTRINGS=99999\r\n") << "COM1" << "9600"
                << "NONE" << "9600,N,8,2" << 0 << QStringList{"Error detected - ", "Error detected - "};
        // A lower-case parity letter is passed on unchanged; the label keeps its caption.
        QTest::newRow("lower-case parity") << QByteArray("[COMSETTINGS]\r\nPARITY=e\r\n") << "COM1" << "9600" << ""
                                           << "9600,e,8,2" << 0 << QStringList();
        // The port refuses the rate: one box, no label written, start-up goes on.
        QTest::newRow("refused baud") << QByteArray("[COMSETTINGS]\r\nPORT=2\r\nBAUD=fast\r\n") << "" << "" << ""
                                      << "9600,N,8,2" << 0 << QStringList{"Error setting up comm port - "};
    }
    void startUpWithSettingsFile()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, port);
        QFETCH(QString, baud);
        QFETCH(QString, parity);
        QFETCH(QString, linkSettings);
        QFETCH(int, enableStrings);
        QFETCH(QStringList, messageStarts);
        WindowRig rig(ini);
        QCOMPARE(labelText(rig, "CommLabel"), port);
        QCOMPARE(labelText(rig, "BaudLabel"), baud);
        QCOMPARE(labelText(rig, "ParityLabel"), parity);
        QCOMPARE(rig.link.settingsText(), linkSettings);
        QCOMPARE(rig.window->settings().enableStrings, enableStrings);
        QCOMPARE(rig.messages.infos.size(), messageStarts.size());
        for (int i = 0; i < messageStarts.size(); ++i) {
            QVERIFY2(rig.messages.infos.at(i).startsWith(messageStarts.at(i)), qPrintable(rig.messages.infos.at(i)));
            QVERIFY(rig.messages.infos.at(i).size() > messageStarts.at(i).size());  // a description follows
        }
        // Every start-up step ran, whatever the settings held.
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("QZ4VELD CONFIGURATION v1.02"));
        QCOMPARE(rig.window->strConfig()->count(), 10);
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
    }

    void refusedPortSettingsKeepTheLabels()
    {
        WindowRig rig;
        rig.window->settings().comPort = 5;
        rig.window->settings().baud = QStringLiteral("96OO");
        rig.window->setupCommPort();
        QCOMPARE(rig.messages.infos.size(), 1);
        QVERIFY(rig.messages.infos.first().startsWith(QStringLiteral("Error setting up comm port - ")));
        QCOMPARE(labelText(rig, "CommLabel"), QStringLiteral("COM1"));
        QCOMPARE(labelText(rig, "BaudLabel"), QStringLiteral("9600"));
        QVERIFY(!rig.link.isOpen());
    }

    void geometryFromTwips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twipRect");
        QTest::newRow("PreviousPage") << "PreviousPage" << QRect(4680, 7440, 2175, 375);
        QTest::newRow("NextPage") << "NextPage" << QRect(8040, 7440, 2055, 375);
        QTest::newRow("ProgressLabel") << "ProgressLabel" << QRect(10200, 7440, 975, 255);
        QTest::newRow("ProgressBar1") << "ProgressBar1" << QRect(11280, 7440, 2775, 255);
        QTest::newRow("PercentLabel") << "PercentLabel" << QRect(14280, 7440, 615, 255);
        QTest::newRow("Label12") << "Label12" << QRect(360, 7560, 3855, 255);
        QTest::newRow("StrConfig") << "StrConfig" << QRect(360, 7920, 3495, 360);
        QTest::newRow("CompletionStatus") << "CompletionStatus" << QRect(4320, 7920, 3180, 360);
        QTest::newRow("Label5") << "Label5" << QRect(8040, 7920, 3015, 255);
        QTest::newRow("LogCheckbox") << "LogCheckbox" << QRect(10800, 7920, 1575, 255);
        QTest::newRow("StatusBox") << "StatusBox" << QRect(8040, 8160, 6615, 2220);
        QTest::newRow("Read") << "Read" << QRect(360, 8640, 2175, 615);
        QTest::newRow("Send") << "Send" << QRect(3120, 8640, 2055, 615);
        QTest::newRow("VerifyBtn") << "VerifyBtn" << QRect(5760, 8640, 2055, 615);
        QTest::newRow("GetVersionBtn") << "GetVersionBtn" << QRect(6120, 9720, 1695, 615);
        QTest::newRow("Label10") << "Label10" << QRect(6840, 0, 1575, 375);
        QTest::newRow("Label1") << "Label1" << QRect(3960, 480, 8055, 375);
        QTest::newRow("Helpclose") << "Helpclose" << QRect(12480, 2160, 1575, 495);
        QTest::newRow("line 0 image") << "Image1_0" << QRect(240, 1560, 250, 300);
        QTest::newRow("line 0 key") << "KbdKey_0" << QRect(960, 1560, 855, 315);
        QTest::newRow("line 0 string") << "KeyString_0" << QRect(1920, 1560, 4575, 315);
        QTest::newRow("line 0 count") << "StringCount_0" << QRect(6720, 1560, 375, 315);
        QTest::newRow("line 11 key") << "KbdKey_11" << QRect(960, 1560 + 11 * 480, 855, 315);
        QTest::newRow("line 12 row label") << "Label3_12" << QRect(8040, 1560, 420, 315);
        QTest::newRow("line 13 key") << "KbdKey_13" << QRect(8520, 2040, 855, 315);
        QTest::newRow("line 23 string") << "KeyString_23" << QRect(9480, 1560 + 11 * 480, 4575, 315);
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

    void captionsAndTips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<bool>("shown");
        QTest::newRow("Read") << "Read" << "Read Key Outputs From QZ4VELD"
                              << "Read QZ4VEL key outputs and write to screen" << true;
        QTest::newRow("Send") << "Send" << "Send Key Outputs To QZ4VELD" << "Send all output strings to QZ4VEL" << true;
        QTest::newRow("VerifyBtn") << "VerifyBtn" << "Verify Key Outputs  in QZ4VELD"
                                   << "Verify that QZ4VEL values match those on-screen" << true;
        QTest::newRow("GetVersionBtn") << "GetVersionBtn" << "Get QZ4VELD Version" << "" << true;
        QTest::newRow("PreviousPage") << "PreviousPage" << "<<< PreviousPage" << "" << true;
        QTest::newRow("NextPage") << "NextPage" << "NextPage >>>" << "" << true;
        QTest::newRow("Helpclose") << "Helpclose" << "Close Help" << "" << false;
        QTest::newRow("KbdKey_4") << "KbdKey_4" << "Row 4 key" << "Press key to override, or ALT to empty field" << true;
        QTest::newRow("KeyString_0") << "KeyString_0" << "Row 0 output string"
                                     << "Enter ASCII characters, or binary/hexadecimal chars in {}" << true;
        QTest::newRow("KeyString_1") << "KeyString_1" << "Row 1 output string"
                                     << "Enter ASCII characters, or binary chars in {}" << true;
        QTest::newRow("StringCount_7") << "StringCount_7" << "Row 7 string length"
                                       << "Click to enter reason for this string" << true;
    }
    void captionsAndTips()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, tip);
        QFETCH(bool, shown);
        WindowRig rig;
        const auto* widget = rig.find<QWidget>(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->accessibleName(), caption);
        QCOMPARE(widget->toolTip(), tip);
        QCOMPARE(widget->isVisibleTo(rig.window.get()), shown);
        if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            // Wrapped onto lines, the caption's words stay as written.
            QCOMPARE(button->text().replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified(), caption.simplified());
            QVERIFY(button->font().bold());
        }
    }

    void labelsAndHiddenControls()
    {
        WindowRig rig;
        const QWidget* w = rig.window.get();
        const QMap<QString, QString> captions{
                {"Label10", "Quorvane"},          {"Label1", "QZ4VELD KEY-OUTPUT CONFIGURATION"},
                {"Label12", "Maximum Override String Length"}, {"Label5", "Communication Details"},
                {"Label9", "PORT:"},              {"Label7", "BAUD RATE:"},
                {"Label8", "PARITY:"},            {"Label11", "CONFIG FILE:"},
                {"Label2_0", "Keyboard Key"},     {"Label4_1", "QZ4VELD RS232 Output String"},
                {"Label6_1", "String Length"},    {"ProgressLabel", "Progress"}};
        for (auto it = captions.cbegin(); it != captions.cend(); ++it)
            QCOMPARE(labelText(rig, it.key().toLatin1().constData()), it.value());
        QCOMPARE(rig.find<QGroupBox>("Frame1")->title(), QStringLiteral("Settings"));
        for (const char* hidden : {"Label13", "StrDes", "StrLine", "WebBrowser1", "Helpclose", "CompletionStatus",
                                   "ProgressBar1", "ProgressLabel", "PercentLabel"}) {
            const auto* widget = rig.find<QWidget>(QLatin1String(hidden));
            QVERIFY2(widget && !widget->isVisibleTo(w), hidden);
        }
        const QColor yellow = rig.window->notesBox()->palette().color(QPalette::Base);
        QCOMPARE(yellow, QColor(255, 255, 192));
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
        QVERIFY(rig.keyString(0)->isEnabled() && rig.kbdKey(0)->isEnabled());
        QVERIFY(rig.find<QWidget>("LogCheckbox")->isEnabled());
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
        QVERIFY(rig.find<QLabel>("CompletionStatus")->isVisibleTo(rig.window.get()));
        QVERIFY(!rig.link.isOpen());
        for (const char* name : kGated)
            QVERIFY(rig.find<QWidget>(QLatin1String(name))->isEnabled());
    }

    void operationButtonsReachTheirOperations_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("which");
        QTest::newRow("Read") << "Read" << int(MainWindow::OperationButton::Read);
        QTest::newRow("Send") << "Send" << int(MainWindow::OperationButton::Send);
        QTest::newRow("VerifyBtn") << "VerifyBtn" << int(MainWindow::OperationButton::Verify);
        QTest::newRow("GetVersionBtn") << "GetVersionBtn" << int(MainWindow::OperationButton::Version);
    }
    void operationButtonsReachTheirOperations()
    {
        QFETCH(QString, button);
        QFETCH(int, which);
        WindowRig rig;
        int runs = 0;
        int comPort = 0;
        rig.window->setOperation(static_cast<MainWindow::OperationButton>(which), [&](OperationContext& context) {
            ++runs;
            comPort = context.comPort;
            QCOMPARE(&context.view, static_cast<OperationView*>(rig.window.get()));
            QCOMPARE(&context.rows, &rig.window->rows());
        });
        rig.find<QPushButton>(button)->click();
        QCOMPARE(runs, 1);
        QCOMPARE(comPort, 1);
    }

    void leftoverErrorIsReportedAndControlsComeBack()
    {
        WindowRig rig;
        rig.window->runOperation([&](OperationContext& context) {
            context.view.disableControls();
            throw std::runtime_error("port vanished");
        });
        QCOMPARE(rig.messages.infos, QStringList{"Error detected - port vanished"});
        for (const char* name : kGated)
            QVERIFY(rig.find<QWidget>(QLatin1String(name))->isEnabled());
        QVERIFY(!rig.window->operationRunning());
    }

    void oneOperationAtATime()
    {
        WindowRig rig;
        int inner = 0;
        rig.window->runOperation([&](OperationContext&) {
            QVERIFY(rig.window->operationRunning());
            rig.window->runOperation([&](OperationContext&) { ++inner; });
        });
        QCOMPARE(inner, 0);
        rig.window->runOperation([&](OperationContext&) { ++inner; });
        QCOMPARE(inner, 1);
    }

    void closingDuringAnOperationStopsItAtItsNextWait()
    {
        WindowRig rig;
        QVERIFY(rig.activate());
        int waits = 0;
        bool reachedEnd = false;
        rig.waiter.setOnEvents([&] {
            if (++waits == 3)
                rig.window->close();
        });
        rig.window->runOperation([&](OperationContext& context) {
            context.view.disableControls();
            context.link.open();
            for (int i = 0; i < 1000; ++i)
                context.waiter.delay(100);
            reachedEnd = true;
        });
        QVERIFY(!reachedEnd);
        QCOMPARE(waits, 3);
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!rig.window->isVisible());
        QVERIFY(!rig.window->operationRunning());
        QVERIFY(rig.messages.infos.isEmpty());
    }

    void closingWhenIdleClosesThePort()
    {
        WindowRig rig;
        QVERIFY(rig.activate());
        rig.link.open();  // left open by an operation that failed
        QVERIFY(rig.window->close());
        QVERIFY(!rig.link.isOpen());
        QVERIFY(rig.messages.infos.isEmpty());
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
