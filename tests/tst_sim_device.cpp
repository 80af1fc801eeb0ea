#include "sim/lib/device_model.h"
#include "sim/lib/fake_serial_link.h"
#include "sim/lib/virtual_waiter.h"

#include <QtTest>

static QByteArray hexBytes(const char* text)
{
    return QByteArray::fromHex(text);
}

static QByteArray joined(const QList<QByteArray>& answers)
{
    QByteArray all;
    for (const QByteArray& answer : answers)
        all += answer + '|';
    return all;
}

class SimDeviceTest final : public QObject {
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void commandsSplitAnywhere();
    void capacityPerLength();
    void stateRoundTripAndRefusals();
    void fakeLinkLatencyAndChunks();
};

void SimDeviceTest::commands_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("answers");
    QTest::newRow("presence, version, default length") << QByteArray("zV/L?") << QByteArray("\xE8|QZ4VELD V2.10|6|");
    QTest::newRow("set length 10 then query") << QByteArray("/L:/L?") << QByteArray("\x06|:|");
    QTest::newRow("fresh slot") << hexBytes("2F5200") << hexBytes("FF000000000000") + '|';
    QTest::newRow("write then read row 0") << QByteArray("/L2") + hexBytes("2F57001C6162") + hexBytes("2F5200")
                                           << hexBytes("067C06007C1C61627C");
    QTest::newRow("bad commands") << QByteArray("/L0/X\r") << QByteArray("CMDERR|CMDERR|CMDERR|");
    QTest::newRow("row beyond capacity") << QByteArray("/L:") + hexBytes("2F5217") << QByteArray("\x06|CMDERR|");
    QTest::newRow("refused block is consumed whole") << QByteArray("/L1") + hexBytes("2F575D1C61") + "z"
                                                     << QByteArray("\x06|CMDERR|\xE8|");
}

void SimDeviceTest::commands()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, answers);
    DeviceModel device;
    QCOMPARE(joined(device.receive(input)).toHex(' '), answers.toHex(' '));
}

void SimDeviceTest::commandsSplitAnywhere()
{
    const QByteArray stream = QByteArray("/L3") + hexBytes("2F5705410D0000") + hexBytes("2F5205") + "V";
    DeviceModel whole;
    const QByteArray expected = joined(whole.receive(stream));
    QCOMPARE(whole.commandCount(), 4);
    for (int cut = 1; cut < stream.size(); ++cut) {
        DeviceModel device;
        QList<QByteArray> answers = device.receive(stream.left(cut));
        answers += device.receive(stream.mid(cut));
        QCOMPARE(joined(answers), expected);
    }
}

void SimDeviceTest::capacityPerLength()
{
    const int capacities[] = {93, 85, 63, 51, 42, 36, 31, 28, 25, 23};
    for (int length = 1; length <= 10; ++length) {
        const int capacity = capacities[length - 1];
        QCOMPARE(DeviceModel::capacityFor(length), capacity);
        DeviceModel device;
        device.setStringLength(length);
        // The last usable row answers, the next one is refused.
        QCOMPARE(device.receive(QByteArray("/R") + char(capacity - 1)).constFirst().size(), 1 + length);
        QCOMPARE(device.receive(QByteArray("/R") + char(capacity)).constFirst(), QByteArray("CMDERR"));
    }
}

void SimDeviceTest::stateRoundTripAndRefusals()
{
    DeviceModel device;
    device.receive(QByteArray("/L4") + hexBytes("2F57171C61620D00"));
    QVERIFY(device.takeStateChanged());
    device.receive("V/L?");
    QVERIFY(!device.takeStateChanged());  // queries change nothing

    DeviceModel restored;
    restored.loadState(device.saveState());
    QCOMPARE(restored.stringLength(), 4);
    QCOMPARE(restored.slotAnswer(23).toHex(), QByteArray("1c61620d00"));

    QByteArray badLength = device.saveState();
    badLength[5] = 11;
    for (const QByteArray& bad : {QByteArray(), device.saveState().chopped(1), badLength})
        QVERIFY_THROWS_EXCEPTION(DeviceError, restored.loadState(bad));
    QCOMPARE(restored.stringLength(), 4);  // a refused state changes nothing
    QVERIFY_THROWS_EXCEPTION(DeviceError, restored.slot(93));
    QVERIFY_THROWS_EXCEPTION(DeviceError, restored.setStringLength(11));
}

void SimDeviceTest::fakeLinkLatencyAndChunks()
{
    DeviceModel device;
    VirtualClock clock;
    FakeSerialLink link(device, clock);
    VirtualWaiter waiter(clock);
    device.faults().latencyMs = 10;
    device.faults().chunked = true;
    link.open();
    link.write("V");
    waiter.delay(9);
    QCOMPARE(link.bytesAvailable(), 0);
    waiter.delay(3);  // 12 ms: bytes due at 10, 11 and 12
    QCOMPARE(link.readAll(), QByteArray("QZ4"));
    waiter.delay(100);
    QCOMPARE(link.readAll(), QByteArray("VELD V2.10"));
    QCOMPARE(waiter.waits(), (QList<int>{9, 3, 100}));
}

QTEST_GUILESS_MAIN(SimDeviceTest)
#include "tst_sim_device.moc"
