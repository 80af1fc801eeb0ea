// The serial device table and the presence search, over fake port lists and the in-process device.
#include "device/device_search.h"
#include "device/port_holders.h"
#include "support/fake_device.h"
#include "ui/port_table_model.h"

#include <QTemporaryDir>
#include <QtTest>

class TstSerialDevices final : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString node(const QString& name)
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::WriteOnly) ? QFileInfo(file).canonicalFilePath() : QString();
    }

private slots:
    void tableFromPortList()
    {
        const QString usb0 = node("ttyUSB0"), usb1 = node("ttyUSB1"), pty = node("pts7"), s0 = node("ttyS0");
        QVERIFY(QDir(m_dir.path()).mkpath("by-id"));
        const QString byId = m_dir.filePath("by-id/usb-FTDI_A12345-if00-port0");
        QVERIFY(QFile::link(usb0, byId) && QFile::link(pty, m_dir.filePath("sim-link")));
        const QList<PortInfo> ports{{usb1, "CP2102 USB to UART", "Silicon Labs", "0001", 0x10c4, 0xea60},
                                    {s0, "", "", "", -1, -1},
                                    {usb0, "FT232R USB UART", "FTDI", "A12345", 0x0403, 0x6001}};
        // COM1 by its stable path, COM2 by a link to a pseudo-terminal, COM3 unplugged.
        const QMap<int, QString> mapping{{1, byId}, {2, m_dir.filePath("sim-link")}, {3, "/dev/serial/by-id/gone"}};
        const QList<PortRow> table = port_catalogue::rows(ports, port_catalogue::stableLinks(m_dir.filePath("by-id")),
                                                          mapping, [&](const QString& path) { return path == usb1; });
        QStringList shown;
        for (const PortRow& r : table)
            shown << QStringList{QFileInfo(r.devicePath).fileName(),
                                 QFileInfo(r.stablePath).fileName(),
                                 r.description,
                                 r.vidPid,
                                 r.inUse ? "in use" : "",
                                 r.mappedAs,
                                 QFileInfo(r.mappingPath()).fileName()}
                             .join('|');
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
        QStringList found;
        for (int r = 0; r < 3; ++r)
            found << model.index(r, 7).data().toString();
        QCOMPARE(found, (QStringList{"no answer", "answers", "not probed: in use"}));
        model.setProbeResults({{s0, true, ""}, {byId, true, ""}});
        QCOMPARE(model.onlyAnswering(), -1);
    }

    void probeWritesOnlyThePresenceByte_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("present") << "" << true << "" << QByteArray("z");
        QTest::newRow("third try") << "third" << true << "" << QByteArray("zzz");
        QTest::newRow("absent") << "absent" << false << "no answer" << QByteArray(8, 'z');
        QTest::newRow("other device") << "wrong" << false << "Not a QZ4VELDT that is connected (received 0x41)"
                                      << QByteArray(8, 'z');
        QTest::newRow("will not open") << "open" << false << "Cannot open /dev/x: in use by another program"
                                       << QByteArray();
    }
    void probeWritesOnlyThePresenceByte()
    {
        QFETCH(QString, fault);
        fakedev::Rig rig;
        rig.device.faults().absent = fault == "absent";
        rig.device.faults().presenceAnswerFrom = fault == "third" ? 3 : 1;
        rig.device.faults().presenceByte = fault == "wrong" ? 0x41 : 0xE8;
        rig.link.setOpenError(fault == "open" ? "Cannot open /dev/x: in use by another program" : "");
        const ProbeResult result = device_search::probe(rig.link, rig.waiter, "/dev/x", "19200,E,8,2");
        QTEST(result.answered, "answered");
        QTEST(result.detail, "detail");
        QTEST(rig.link.written(), "written");
        QCOMPARE(rig.link.settingsText(), QStringLiteral("19200,E,8,2"));
        QVERIFY(!rig.link.isOpen());
    }

    void lockFileNamesItsHolder()
    {
        QProcess sleeper;
        sleeper.start("sleep", {"30"});
        QVERIFY(sleeper.waitForStarted());
        const QString device = node("ttyQZ9");
        QFile lock(QDir(QDir::tempPath()).filePath(PortHolders::lockName(device)));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(sleeper.processId()).rightJustified(10, ' ') + '\n');
        lock.close();
        QCOMPARE(PortHolders::scan().holderOf(device), QStringLiteral("sleep, pid %1").arg(sleeper.processId()));
        sleeper.kill(), sleeper.waitForFinished();
        QCOMPARE(PortHolders::scan().holderOf(device), QString());  // a stale lock holds nothing
        lock.remove();
    }
};

QTEST_GUILESS_MAIN(TstSerialDevices)
#include "tst_serial_devices.moc"
