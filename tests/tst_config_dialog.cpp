// The settings dialog with its serial device chooser, the table of serial ports, the presence probe and the
// holders of a port.
#include "device/device_search.h"
#include "device/port_holders.h"
#include "files/settings.h"
#include "support/data_row.h"
#include "support/fake_device.h"
#include "support/file_helpers.h"
#include "ui/config_dialog.h"
#include "ui/device_chooser_dialog.h"
#include "ui/port_table_model.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using test_data::row;
using test_files::readAll;
using test_files::writeAll;
Q_DECLARE_METATYPE(Settings)

class TstConfigDialog : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString ini() const { return m_dir.filePath(QStringLiteral("QZ4Vel.ini")); }
    QString node(const QString& name)
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::WriteOnly) ? QFileInfo(file).canonicalFilePath() : QString();
    }

private slots:
    void init() { QFile::remove(ini()); }

    void openAndSave_data()
    {
        QTest::addColumn<Settings>("before");
        QTest::addColumn<QStringList>("shown");  // port, baud and parity entries chosen on opening, the port's device
        QTest::addColumn<QList<int>>("choices");  // then chosen; -1 keeps the opening choice
        QTest::addColumn<QStringList>("written");
        row("19200 E, choose ODD", Settings{.comPort = 3, .baud = "19200", .parity = "E", .portPaths = {}},
            QStringList{"COM3", "19.2k", "EVEN", "/dev/ttyS2"}, QList<int>{-1, -1, 2},
            QStringList{"PORT=3", "BAUD=19200", "PARITY=O", "ENABLESTRINGS=0"});
        row("57600, mapped COM2",
            Settings{.comPort = 2, .baud = "57600", .enableStrings = 1, .portPaths = {{2, "/dev/ttyUSB0"}}},
            QStringList{"COM2", "57.6k", "NONE", "/dev/ttyUSB0"}, QList<int>{7, 3, -1},
            QStringList{"PORT=8", "BAUD=19200", "PARITY=N", "ENABLESTRINGS=1"});
        row("no entry matches", Settings{.comPort = 12, .baud = "115200", .parity = "e", .portPaths = {}},
            QStringList{"", "", "", ""}, QList<int>{-1, -1, -1},
            QStringList{"PORT=12", "BAUD=115200", "PARITY=e", "ENABLESTRINGS=0"});
    }
    void openAndSave()
    {
        QFETCH(Settings, before);
        QFETCH(QStringList, shown);
        QFETCH(QList<int>, choices);
        QFETCH(QStringList, written);
        QVERIFY(writeAll(ini(), "; kept\r\n[PORTS]\r\nCOM2=/dev/ttyUSB0\r\n[comsettings]\r\nPORT=1\r\nEXTRA=x\r\n"));
        fakedev::RecordingMessages messages;
        ConfigDialog dialog(before, ini(), messages, {});
        dialog.show();
        QCOMPARE(dialog.deviceLine()->toolTip(), shown.at(3));
        QComboBox* lists[] = {dialog.portList(), dialog.baudList(), dialog.parityList()};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(lists[i]->currentText(), shown.at(i));
            if (choices.at(i) >= 0)
                lists[i]->setCurrentIndex(choices.at(i));
        }
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        const QStringList expected{"; kept",  "[PORTS]",     "COM2=/dev/ttyUSB0", "[comsettings]", written.at(0),
                                   "EXTRA=x", written.at(1), written.at(2),       "[GENERAL]",     written.at(3)};
        QCOMPARE(QString::fromLatin1(readAll(ini())), expected.join("\r\n") + "\r\n");
    }

    // CLOSE keeps the tick but neither the list choices nor a file; a failed write says why and keeps the
    // dialog open; neither calls the window back. SAVE writes the file first, then, dialog still up, sets up
    // the port with events handled in the pause (a second SAVE meanwhile is ignored), then hides the notes.
    void closeOrSave_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("enableBefore");  // the box is clicked once
        QTest::addColumn<QStringList>("steps");
        row("CLOSE", "close", 0, QStringList{});
        row("SAVE, folder missing", "missing", 0, QStringList{});
        row("SAVE, switched off", "save", 1, QStringList{"setup", "event", "hide"});
        row("SAVE, switched on", "save", 0, QStringList{"setup", "event"});
    }
    void closeOrSave()
    {
        QFETCH(QString, button);
        QFETCH(int, enableBefore);
        Settings settings{.enableStrings = enableBefore, .portPaths = {}};
        fakedev::RecordingMessages messages;
        QStringList steps;
        ConfigDialog* self = nullptr;
        const QString path = button == "missing" ? m_dir.filePath("missing/QZ4Vel.ini") : ini();
        auto setup = [&] {
            steps << (readAll(path).contains("PORT=") && self->isVisible() ? "setup" : "setup too early");
            QTimer::singleShot(0, [&] { steps << "event"; });
            QTimer::singleShot(0, [&] { self->save(); });
        };
        ConfigDialog dialog(settings, path, messages, {setup, [&] { steps << "hide"; }, {}});
        self = &dialog;
        dialog.show();
        dialog.baudList()->setCurrentIndex(0);
        QTest::mouseClick(dialog.descriptionsBox(), Qt::LeftButton);
        QTest::mouseClick(button == "close" ? dialog.closeButton() : dialog.saveButton(), Qt::LeftButton);
        QTEST(steps, "steps");
        QCOMPARE(QFile::exists(path), button == "save");
        QCOMPARE(dialog.isVisible(), button == "missing");
        QCOMPARE(messages.infos.size(), button == "missing" ? 1 : 0);
        for (const QString& info : messages.infos)
            QVERIFY2(info.contains(QRegularExpression("^Error saving configuration - .")), qPrintable(info));
        if (button == "close") {
            QCOMPARE(settings.enableStrings, 1);
            QCOMPARE(settings.baud, "9600");
        }
    }

    // Choose device... asks for the entry chosen now, at the lists' rate and parity, over the dialog's mapping. OK only
    // shows the device in the Device line: SAVE writes it with the rest, CLOSE leaves file and settings byte for byte.
    void chooseDevice_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("save");
        row("OK, SAVE", true, true);
        row("OK, CLOSE", true, false);
        row("cancel, SAVE", false, true);
    }
    void chooseDevice()
    {
        QFETCH(bool, ok);
        QFETCH(bool, save);
        const QByteArray before =
                "[PORTS]\r\nCOM2=/dev/keep\r\nCOM4=/dev/old\r\n[COMSETTINGS]\r\nPORT=4\r\nBAUD=2400\r\n"
                "PARITY=E\r\n[GENERAL]\r\nENABLESTRINGS=0\r\n";
        QVERIFY(writeAll(ini(), before));
        Settings settings = settings_file::load(ini()).settings;
        fakedev::RecordingMessages messages;
        QString asked;
        const auto choose = [&](int port, const QMap<int, QString>& mapping, const QString& text, QWidget* parent) {
            asked = QStringLiteral("%1 %2 %3").arg(port).arg(text, mapping.value(2));
            QTimer::singleShot(0, [&] {
                auto* chooser = qobject_cast<DeviceChooserDialog*>(QApplication::activeModalWidget());
                QVERIFY(chooser && chooser->windowTitle() == "Serial device for COM4");
                chooser->pathField()->setText("/dev/pts/77");
                ok ? chooser->accept() : chooser->reject();
            });
            return DeviceChooserDialog::choose(port, mapping, text, parent);
        };
        ConfigDialog dialog(settings, ini(), messages, {{}, {}, choose});
        dialog.show();
        dialog.baudList()->setCurrentIndex(2);  // 9600, not yet saved
        QTest::mouseClick(dialog.chooseButton(), Qt::LeftButton);
        QCOMPARE(asked, "4 9600,E,8,2 /dev/keep");
        QCOMPARE(dialog.deviceLine()->accessibleName(), ok ? "/dev/pts/77" : "/dev/old");
        QCOMPARE(readAll(ini()), before);
        QCOMPARE(settings.portPaths.value(4), "/dev/old");
        dialog.baudList()->setCurrentIndex(0);
        QTest::mouseClick(save ? dialog.saveButton() : dialog.closeButton(), Qt::LeftButton);
        const bool mapped = ok && save;
        QCOMPARE(readAll(ini()), mapped ? QByteArray(before).replace("/dev/old", "/dev/pts/77") : before);
        QCOMPARE(settings.portPaths.value(4), mapped ? "/dev/pts/77" : "/dev/old");
    }

    void tableFromPortList()
    {
        const QString usb0 = node("ttyUSB0"), usb1 = node("ttyUSB1"), pty = node("pts7"), s0 = node("ttyS0");
        QVERIFY(QDir(m_dir.path()).mkpath("by-id"));
        const QString byId = m_dir.filePath("by-id/usb-FTDI_A12345-if00-port0");
        QVERIFY(QFile::link(usb0, byId) && QFile::link(usb0, byId + "-later")
                && QFile::link(pty, m_dir.filePath("sim-link")));
        const QList<PortInfo> ports{{usb1, "CP2102 USB to UART", "Silicon Labs", "0001", 0x10c4, 0xea60},
                                    {s0, "", "", "", -1, -1},
                                    {usb0, "FT232R USB UART", "FTDI", "A12345", 0x0403, 0x6001}};
        // COM1 by its stable path, COM2 by a link to a pseudo-terminal, COM3 unplugged.
        const QMap<int, QString> mapping{{1, byId}, {2, m_dir.filePath("sim-link")}, {3, "/dev/serial/by-id/gone"}};
        const QList<PortRow> table = port_catalogue::rows(ports, port_catalogue::stableLinks(m_dir.filePath("by-id")),
                                                          mapping, [&](const QString& path) { return path == usb1; });
        QStringList shown;
        for (const PortRow& r : table)
            shown << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                             .arg(QFileInfo(r.devicePath).fileName(), QFileInfo(r.stablePath).fileName(), r.description,
                                  r.vidPid, r.inUse ? "in use" : "", r.mappedAs, QFileInfo(r.mappingPath()).fileName());
        QCOMPARE(
                shown,
                (QStringList{
                        "ttyS0||||||ttyS0",
                        "ttyUSB0|usb-FTDI_A12345-if00-port0|FT232R USB UART|0403:6001||COM1|usb-FTDI_A12345-if00-port0",
                        "ttyUSB1||CP2102 USB to UART|10c4:ea60|in use||ttyUSB1",
                        "pts7|sim-link|mapped as COM2|||COM2|sim-link",
                        "gone||mapped as COM3, not connected|||COM3|gone"}));
        // Free and present ones only, each by the path a mapping would name.
        QCOMPARE(device_search::candidates(table), (QStringList{s0, byId, m_dir.filePath("sim-link")}));
        QCOMPARE(port_catalogue::indexOf(table, usb0), 1);

        // The chooser's column of search results, and the one row it selects.
        PortTableModel model;
        model.setPorts(table);
        model.setProbeResults({{s0, false, "no answer"}, {byId, true, ""}});
        QCOMPARE(model.onlyAnswering(), 1);
        QCOMPARE(model.index(0, 7).data().toString(), "no answer");
        QCOMPARE(model.index(1, 7).data().toString(), "answers");
        QCOMPARE(model.index(2, 7).data().toString(), "not probed: in use");
        model.setProbeResults({{s0, true, ""}, {byId, true, ""}});
        QCOMPARE(model.onlyAnswering(), -1);
    }

    void probeWritesOnlyThePresenceByte_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QByteArray>("written");
        row("present", "", "", QByteArray("z"));
        row("absent", "absent", "no answer", QByteArray(8, 'z'));
        row("other device", "wrong", "Not a QZ4VELDT that is connected (received 0x41)", QByteArray(8, 'z'));
        row("will not open", "open", "Cannot open /dev/x: in use by another program", QByteArray());
    }
    void probeWritesOnlyThePresenceByte()
    {
        QFETCH(QString, fault);
        fakedev::Rig rig;
        rig.device.faults().absent = fault == "absent";
        rig.device.faults().presenceByte = fault == "wrong" ? 0x41 : 0xE8;
        rig.link.setOpenError(fault == "open" ? "Cannot open /dev/x: in use by another program" : "");
        const ProbeResult result = device_search::probe(rig.link, rig.waiter, "/dev/x", "19200,E,8,2");
        QTEST(result.detail, "detail");
        QCOMPARE(result.answered, result.detail.isEmpty());
        QTEST(rig.link.written(), "written");
        QCOMPARE(rig.link.settingsText(), "19200,E,8,2");
        QVERIFY(!rig.link.isOpen());
    }

    void lockFileNamesItsHolder()
    {
        QProcess sleeper;
        sleeper.start("sleep", {"30"});
        QVERIFY(sleeper.waitForStarted());
        const QString device = node("ttyQZ9"), lock = QDir(QDir::tempPath()).filePath(PortHolders::lockName(device));
        QVERIFY(writeAll(lock, QByteArray::number(sleeper.processId()).rightJustified(10, ' ') + '\n'));
        QCOMPARE(PortHolders::scan().holderOf(device), QStringLiteral("sleep, pid %1").arg(sleeper.processId()));
        sleeper.kill();
        sleeper.waitForFinished();
        QCOMPARE(PortHolders::scan().holderOf(device), QString());  // a stale lock holds nothing
        QFile::remove(lock);
    }
};

QTEST_MAIN(TstConfigDialog)
#include "tst_config_dialog.moc"
