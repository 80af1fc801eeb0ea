#include "files/settings.h"
#include "model/messages.h"
#include "ui/com_choices.h"
#include "ui/config_dialog.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

class RecordedMessages final : public Messages {
public:
    void info(const QString& text) override { texts.append(text); }
    bool confirm(const QString& text, const QString&) override
    {
        texts.append(text);
        return false;
    }
    void beep() override {}
    QStringList texts;
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList linesOf(const QByteArray& raw)
{
    QStringList lines = QString::fromLatin1(raw).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    return lines;
}

void writeFile(const QString& path, const QByteArray& raw)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(raw);
}

}  // namespace

class TstConfigDialog : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString iniPath() const { return m_dir.filePath(QStringLiteral("QZ4Vel.ini")); }

private slots:
    void cleanup() { QFile::remove(iniPath()); }

    // --- the list rules on their own ---

    void baudPreselection_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("index");
        QTest::newRow("2400") << "2400" << 0;
        QTest::newRow("9600") << "9600" << 2;
        QTest::newRow("19200 finds 19.2k") << "19200" << 3;
        QTest::newRow("38400 finds 38.4k") << "38400" << 4;
        QTest::newRow("57600 finds 57.6k") << "57600" << 5;
        QTest::newRow("only two characters count") << "4899" << 1;
        QTest::newRow("115200 has no entry") << "115200" << -1;
        QTest::newRow("one character matches nothing") << "9" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void baudPreselection()
    {
        QFETCH(QString, setting);
        QFETCH(int, index);
        QCOMPARE(com_choices::baudIndexFor(setting), index);
    }

    void baudSetting_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("setting");
        for (const char* plain : {"2400", "4800", "9600"})
            QTest::newRow(plain) << plain << plain;
        QTest::newRow("19.2k") << "19.2k" << "19200";
        QTest::newRow("38.4k") << "38.4k" << "38400";
        QTest::newRow("57.6k") << "57.6k" << "57600";
    }
    void baudSetting()
    {
        QFETCH(QString, entry);
        QFETCH(QString, setting);
        QCOMPARE(com_choices::baudSettingFor(entry), setting);
    }

    void baudSettingRefusesNonsense()
    {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, com_choices::baudSettingFor(QStringLiteral("fastk")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, com_choices::baudSettingFor(QStringLiteral("-2k")));
    }

    void parityAndPortPreselection_data()
    {
        QTest::addColumn<QString>("parity");
        QTest::addColumn<int>("parityIndex");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("portIndex");
        QTest::newRow("N, COM1") << "N" << 0 << 1 << 0;
        QTest::newRow("E, COM8") << "E" << 1 << 8 << 7;
        QTest::newRow("ODD by first letter") << "ODD" << 2 << 3 << 2;
        QTest::newRow("lower case matches nothing") << "e" << -1 << 0 << -1;
        QTest::newRow("empty, COM9") << "" << -1 << 9 << -1;
        QTest::newRow("other letter, negative port") << "M" << -1 << -3 << -1;
    }
    void parityAndPortPreselection()
    {
        QFETCH(QString, parity);
        QFETCH(int, parityIndex);
        QFETCH(int, port);
        QFETCH(int, portIndex);
        QCOMPARE(com_choices::parityIndexFor(parity), parityIndex);
        QCOMPARE(com_choices::portIndexFor(port), portIndex);
    }

    // --- the dialog ---

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twipRect");
        QTest::newRow("Label2") << "Label2" << QRect(240, 120, 4215, 375);
        QTest::newRow("Label1") << "Label1" << QRect(360, 855, 1335, 255);
        QTest::newRow("cboPort") << "cboPort" << QRect(1680, 840, 1455, 360);
        QTest::newRow("Label3") << "Label3" << QRect(360, 1365, 975, 255);
        QTest::newRow("cboBaud") << "cboBaud" << QRect(1680, 1320, 1455, 360);
        QTest::newRow("Label4") << "Label4" << QRect(360, 1845, 1095, 375);
        QTest::newRow("cboParity") << "cboParity" << QRect(1680, 1800, 1335, 360);
        QTest::newRow("DescripEnable") << "DescripEnable" << QRect(840, 2280, 3255, 255);
        QTest::newRow("ConfigSave") << "ConfigSave" << QRect(960, 2760, 975, 375);
        QTest::newRow("ConfigAbort") << "ConfigAbort" << QRect(2400, 2760, 975, 375);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twipRect);
        Settings settings;
        RecordedMessages messages;
        ConfigDialog dialog(settings, iniPath(), messages, {});
        const int dpi = dialog.logicalDpiX();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Configuration"));
        QCOMPARE(dialog.objectName(), QStringLiteral("Configuration"));
        QCOMPARE(dialog.size(), QSize(twips::toPx(4665, dpi), twips::toPx(3435, dpi)));
        QCOMPARE(dialog.palette().color(QPalette::Window), QColor(255, 224, 192));
        auto* widget = dialog.findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(),
                 twips::toRect(twipRect.x(), twipRect.y(), twipRect.width(), twipRect.height(), dpi));
    }

    void captions()
    {
        Settings settings;
        RecordedMessages messages;
        ConfigDialog dialog(settings, iniPath(), messages, {});
        const auto* title = dialog.findChild<QLabel*>(QStringLiteral("Label2"));
        QVERIFY(title);
        QCOMPARE(title->text(), QStringLiteral("QZ4VEL Config COM Settings"));
        QVERIFY(title->font().bold());
        QCOMPARE(title->font().pointSizeF(), 13.5);
        QCOMPARE(dialog.descriptionsBox()->text(), QStringLiteral("Enable String Descriptions"));
        QCOMPARE(dialog.saveButton()->text(), QStringLiteral("SAVE"));
        QCOMPARE(dialog.closeButton()->text(), QStringLiteral("CLOSE"));
        QCOMPARE(dialog.baudList()->count(), 6);
        QCOMPARE(dialog.baudList()->itemText(3), QStringLiteral("19.2k"));
        QCOMPARE(dialog.parityList()->itemText(2), QStringLiteral("ODD"));
        QVERIFY(!dialog.portList()->isEditable());
    }

    void portEntriesNameTheirDevice()
    {
        Settings settings;
        settings.portPaths.insert(2, QStringLiteral("/dev/ttyUSB0"));
        RecordedMessages messages;
        ConfigDialog dialog(settings, iniPath(), messages, {});
        QCOMPARE(dialog.portList()->count(), 8);
        QCOMPARE(dialog.portList()->itemText(0), QStringLiteral("COM1   /dev/ttyS0"));
        QCOMPARE(dialog.portList()->itemText(1), QStringLiteral("COM2   /dev/ttyUSB0"));
        QCOMPARE(dialog.portList()->itemText(7), QStringLiteral("COM8   /dev/ttyS7"));
        QCOMPARE(dialog.portList()->toolTip(), QStringLiteral("COM1   /dev/ttyS0"));
        dialog.portList()->setCurrentIndex(1);
        QCOMPARE(dialog.portList()->toolTip(), QStringLiteral("COM2   /dev/ttyUSB0"));
    }

    void opening_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<int>("enable");
        QTest::addColumn<QString>("portText");
        QTest::addColumn<QString>("baudText");
        QTest::addColumn<QString>("parityText");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("defaults") << 1 << "9600" << "N" << 0 << "COM1   /dev/ttyS0" << "9600" << "NONE" << false;
        QTest::newRow("19200 even notes on") << 3 << "19200" << "E" << 1 << "COM3   /dev/ttyS2" << "19.2k" << "EVEN"
                                             << true;
        QTest::newRow("57600 odd") << 8 << "57600" << "O" << 0 << "COM8   /dev/ttyS7" << "57.6k" << "ODD" << false;
        QTest::newRow("nothing matches") << 12 << "115200" << "e" << 2 << "" << "" << "" << false;
    }
    void opening()
    {
        QFETCH(int, port);
        QFETCH(QString, baud);
        QFETCH(QString, parity);
        QFETCH(int, enable);
        Settings settings;
        settings.comPort = port;
        settings.baud = baud;
        settings.parity = parity;
        settings.enableStrings = enable;
        RecordedMessages messages;
        ConfigDialog dialog(settings, iniPath(), messages, {});
        QTEST(dialog.portList()->currentText(), "portText");
        QTEST(dialog.baudList()->currentText(), "baudText");
        QTEST(dialog.parityList()->currentText(), "parityText");
        QTEST(dialog.descriptionsBox()->isChecked(), "ticked");
        // Opening only shows the settings; it changes none of them.
        QCOMPARE(settings.comPort, port);
        QCOMPARE(settings.baud, baud);
        QCOMPARE(settings.parity, parity);
        QCOMPARE(settings.enableStrings, enable);
        QVERIFY(messages.texts.isEmpty());
    }

    void saveWritesTheChoices()
    {
        Settings settings;
        RecordedMessages messages;
        int setups = 0;
        ConfigDialog dialog(settings, iniPath(), messages, {[&] { ++setups; }, {}});
        dialog.show();
        dialog.portList()->setCurrentIndex(3);
        dialog.baudList()->setCurrentIndex(3);
        dialog.parityList()->setCurrentIndex(2);
        QTest::mouseClick(dialog.descriptionsBox(), Qt::LeftButton);
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);

        QCOMPARE(settings.comPort, 4);
        QCOMPARE(settings.baud, QStringLiteral("19200"));
        QCOMPARE(settings.parity, QStringLiteral("O"));
        QCOMPARE(settings.enableStrings, 1);
        QCOMPARE(linesOf(readAll(iniPath())),
                 QStringList({"[COMSETTINGS]", "PORT=4", "BAUD=19200", "PARITY=O", "[GENERAL]", "ENABLESTRINGS=1"}));
        QCOMPARE(setups, 1);
        QVERIFY(messages.texts.isEmpty());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void saveKeepsOtherLines()
    {
        writeFile(iniPath(), "; hand notes\r\n[PORTS]\r\nCOM2=/dev/ttyUSB0\r\n[comsettings]\r\nport=2\r\n"
                             "EXTRA=keep me\r\nbaud=9600\r\n[OTHER]\r\nA=1\r\n");
        Settings settings = settings_file::load(iniPath()).settings;
        RecordedMessages messages;
        ConfigDialog dialog(settings, iniPath(), messages, {});
        dialog.show();
        dialog.baudList()->setCurrentIndex(5);
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);

        const QStringList lines = linesOf(readAll(iniPath()));
        QCOMPARE(lines.mid(0, 3), QStringList({"; hand notes", "[PORTS]", "COM2=/dev/ttyUSB0"}));
        QVERIFY(lines.contains(QStringLiteral("EXTRA=keep me")));
        QCOMPARE(lines.mid(lines.indexOf(QStringLiteral("[OTHER]")), 2), QStringList({"[OTHER]", "A=1"}));
        const Settings reread = settings_file::load(iniPath()).settings;
        QCOMPARE(reread.comPort, 2);
        QCOMPARE(reread.baud, QStringLiteral("57600"));
        QCOMPARE(reread.parity, QStringLiteral("N"));
        QCOMPARE(reread.enableStrings, 0);
    }

    void unmatchedValuesSurviveSave()
    {
        Settings settings;
        settings.comPort = 12;
        settings.baud = QStringLiteral("115200");
        settings.parity = QStringLiteral("e");
        RecordedMessages messages;
        ConfigDialog dialog(settings, iniPath(), messages, {});
        dialog.show();
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        QCOMPARE(settings.comPort, 12);
        QCOMPARE(settings.baud, QStringLiteral("115200"));
        QCOMPARE(settings.parity, QStringLiteral("e"));
        QCOMPARE(linesOf(readAll(iniPath())).mid(1, 3), QStringList({"PORT=12", "BAUD=115200", "PARITY=e"}));
    }

    void closeKeepsTheTickButNotTheFile_data()
    {
        QTest::addColumn<bool>("byFrame");
        QTest::newRow("CLOSE") << false;
        QTest::newRow("frame") << true;
    }
    void closeKeepsTheTickButNotTheFile()
    {
        QFETCH(bool, byFrame);
        const QByteArray before = "[COMSETTINGS]\r\nPORT=1\r\n[GENERAL]\r\nENABLESTRINGS=0\r\n";
        writeFile(iniPath(), before);
        Settings settings;
        RecordedMessages messages;
        int calls = 0;
        ConfigDialog dialog(settings, iniPath(), messages, {[&] { ++calls; }, [&] { ++calls; }});
        dialog.show();
        dialog.baudList()->setCurrentIndex(0);
        QTest::mouseClick(dialog.descriptionsBox(), Qt::LeftButton);
        QCOMPARE(settings.enableStrings, 1);  // at once, before any button
        if (byFrame)
            dialog.close();
        else
            QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(settings.enableStrings, 1);
        QCOMPARE(settings.baud, QStringLiteral("9600"));
        QCOMPARE(readAll(iniPath()), before);
        QCOMPARE(calls, 0);
    }

    void saveSequence_data()
    {
        QTest::addColumn<int>("enableBefore");
        QTest::addColumn<bool>("click");
        QTest::addColumn<bool>("notesHidden");
        QTest::newRow("notes left on") << 1 << false << false;
        QTest::newRow("notes switched off") << 1 << true << true;
        QTest::newRow("notes left off") << 0 << false << true;
        QTest::newRow("notes switched on") << 0 << true << false;
    }
    void saveSequence()
    {
        QFETCH(int, enableBefore);
        QFETCH(bool, click);
        QFETCH(bool, notesHidden);
        Settings settings;
        settings.enableStrings = enableBefore;
        RecordedMessages messages;
        QStringList steps;
        ConfigDialog* dialogPtr = nullptr;
        ConfigDialog dialog(settings, iniPath(), messages,
                            {[&] {
                                 // The file is written before the port is set up, and the
                                 // dialog is still up while the pause runs.
                                 steps << QStringLiteral("setup");
                                 QVERIFY(readAll(iniPath()).contains("PARITY=E"));
                                 QVERIFY(dialogPtr->isVisible());
                                 QTimer::singleShot(0, [&] { steps << QStringLiteral("event"); });
                             },
                             [&] { steps << QStringLiteral("hide"); }});
        dialogPtr = &dialog;
        dialog.show();
        dialog.parityList()->setCurrentIndex(1);
        if (click)
            QTest::mouseClick(dialog.descriptionsBox(), Qt::LeftButton);
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);

        QStringList expected{QStringLiteral("setup"), QStringLiteral("event")};
        if (notesHidden)
            expected << QStringLiteral("hide");
        QCOMPARE(steps, expected);
        QVERIFY(!dialog.isVisible());
    }

    void secondSaveDuringThePauseIsIgnored()
    {
        Settings settings;
        RecordedMessages messages;
        int setups = 0;
        ConfigDialog* dialogPtr = nullptr;
        ConfigDialog dialog(settings, iniPath(), messages, {[&] {
                                                                 ++setups;
                                                                 QTimer::singleShot(0, [&] { dialogPtr->save(); });
                                                             },
                                                             {}});
        dialogPtr = &dialog;
        dialog.show();
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        QCOMPARE(setups, 1);
        QVERIFY(!dialog.isVisible());
    }

    void failedWriteKeepsTheDialogOpen()
    {
        Settings settings;
        RecordedMessages messages;
        int calls = 0;
        const QString unwritable = m_dir.filePath(QStringLiteral("no such folder/QZ4Vel.ini"));
        ConfigDialog dialog(settings, unwritable, messages, {[&] { ++calls; }, [&] { ++calls; }});
        dialog.show();
        dialog.portList()->setCurrentIndex(1);
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);

        QCOMPARE(messages.texts.size(), 1);
        const QString prefix = QStringLiteral("Error saving configuration - ");
        QVERIFY2(messages.texts.at(0).startsWith(prefix), qPrintable(messages.texts.at(0)));
        QVERIFY(messages.texts.at(0).size() > prefix.size());
        QCOMPARE(calls, 0);
        QVERIFY(dialog.isVisible());
        QVERIFY(!QFile::exists(unwritable));
        // The choices taken before the write stay in force, as the operator chose them.
        QCOMPARE(settings.comPort, 2);

        // The operator can still leave with CLOSE.
        QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(TstConfigDialog)
#include "tst_config_dialog.moc"
