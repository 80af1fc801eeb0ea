#include "sim/lib/device_model.h"
#include "sim/lib/fake_serial_link.h"
#include "sim/lib/virtual_waiter.h"

#include <QtTest>

namespace {

QByteArray hexBytes(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray joined(const QList<QByteArray>& answers)
{
    QByteArray all;
    for (const QByteArray& answer : answers)
        all += answer + '|';
    return all;
}

}  // namespace

class SimDeviceTest final : public QObject {
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void commandsSplitAnywhere();
    void capacityPerLength_data();
    void capacityPerLength();
    void presenceFaults();
    void unplugAfterCommands();
    void stateRoundTrip();
    void malformedState_data();
    void malformedState();
    void rangeChecks();
    void fakeLinkLatencyAndChunks();
    void fakeLinkCloseLosesPendingAnswer();
    void fakeLinkUnplug();
};

void SimDeviceTest::commands_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("answers");
    QTest::newRow("presence") << QByteArray("z") << QByteArray("\xE8|");
    QTest::newRow("version") << QByteArray("V") << QByteArray("QZ4VELD V2.10|");
    QTest::newRow("query default length") << QByteArray("/L?") << QByteArray("6|");
    QTest::newRow("set length 10 then query") << QByteArray("/L:/L?") << QByteArray("\x06|:|");
    QTest::newRow("fresh slot") << hexBytes("2F5200") << hexBytes("FF000000000000") + '|';
    QTest::newRow("write then read row 0") << QByteArray("/L2") + hexBytes("2F57001C6162") + hexBytes("2F5200")
                                           << QByteArray("\x06|\x06", 3) + hexBytes("007C1C6162") + '|';
    QTest::newRow("bad length digit") << QByteArray("/L0") << QByteArray("CMDERR|");
    QTest::newRow("unknown letter") << QByteArray("/X") << QByteArray("CMDERR|");
    QTest::newRow("stray byte") << QByteArray("\r") << QByteArray("CMDERR|");
    QTest::newRow("row beyond capacity") << QByteArray("/L:") + hexBytes("2F5217") << QByteArray("\x06|CMDERR|");
    QTest::newRow("write beyond capacity consumes its block")
        << QByteArray("/L1") + hexBytes("2F575D1C61") + QByteArray("z") << QByteArray("\x06|CMDERR|\xE8|");
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
    for (int cut = 1; cut < stream.size(); ++cut) {
        DeviceModel device;
        QList<QByteArray> answers = device.receive(stream.left(cut));
        answers += device.receive(stream.mid(cut));
        QCOMPARE(joined(answers), expected);
    }
    DeviceModel bytewise;
    QList<QByteArray> answers;
    for (const char byte : stream)
        answers += bytewise.receive(QByteArray(1, byte));
    QCOMPARE(joined(answers), expected);
    QCOMPARE(bytewise.commandCount(), 4);
}

void SimDeviceTest::capacityPerLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("capacity");
    const int capacities[] = {93, 85, 63, 51, 42, 36, 31, 28, 25, 23};
    for (int length = 1; length <= 10; ++length)
        QTest::addRow("length %d", length) << length << capacities[length - 1];
}

void SimDeviceTest::capacityPerLength()
{
    QFETCH(int, length);
    QFETCH(int, capacity);
    QCOMPARE(DeviceModel::capacityFor(length), capacity);
    DeviceModel device;
    device.setStringLength(length);
    // The last usable row answers, the next one is refused.
    QCOMPARE(device.receive(QByteArray("/R") + char(capacity - 1)).constFirst().size(), 1 + length);
    QCOMPARE(device.receive(QByteArray("/R") + char(capacity)).constFirst(), QByteArray("CMDERR"));
}

void SimDeviceTest::presenceFaults()
{
    DeviceModel device;
    device.faults().presenceAnswerFrom = 3;
    device.faults().presenceAnswerLimit = 2;
    device.faults().presenceByte = 0x41;
    device.faults().garbageBefore = "<";
    device.faults().garbageAfter = ">";
    QCOMPARE(joined(device.receive("zzzzz")), QByteArray("<A>|<A>|"));
    QCOMPARE(device.presenceProbes(), 5);

    DeviceModel absent;
    absent.faults().absent = true;
    QVERIFY(absent.receive("zV/L?").isEmpty());
}

void SimDeviceTest::unplugAfterCommands()
{
    DeviceModel device;
    device.faults().unplugAfter = 2;
    QCOMPARE(device.receive("zV").size(), 2);
    QVERIFY(!device.unplugged());
    QVERIFY(device.receive("z").isEmpty());
    QVERIFY(device.unplugged());
    QVERIFY(device.receive("z").isEmpty());
}

void SimDeviceTest::stateRoundTrip()
{
    DeviceModel device;
    device.receive(QByteArray("/L4") + hexBytes("2F57171C61620D00"));
    QVERIFY(device.takeStateChanged());
    QVERIFY(!device.takeStateChanged());
    device.receive("V/L?");
    QVERIFY(!device.takeStateChanged());  // queries change nothing

    DeviceModel restored;
    restored.loadState(device.saveState());
    QCOMPARE(restored.stringLength(), 4);
    QCOMPARE(restored.slotAnswer(23).toHex(), QByteArray("1c61620d00"));
    QCOMPARE(restored.slotAnswer(0).toHex(), QByteArray("ff00000000"));
}

void SimDeviceTest::malformedState_data()
{
    QTest::addColumn<QByteArray>("state");
    const QByteArray good = DeviceModel().saveState();
    QByteArray badLength = good;
    badLength[5] = 11;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated") << good.left(good.size() - 1);
    QTest::newRow("wrong header") << QByteArray("XXXX") + good.mid(4);
    QTest::newRow("length 11") << badLength;
}

void SimDeviceTest::malformedState()
{
    QFETCH(QByteArray, state);
    DeviceModel device;
    device.setStringLength(3);
    QVERIFY_THROWS_EXCEPTION(DeviceError, device.loadState(state));
    QCOMPARE(device.stringLength(), 3);
}

void SimDeviceTest::rangeChecks()
{
    DeviceModel device;
    QVERIFY_THROWS_EXCEPTION(DeviceError, device.slot(93));
    QVERIFY_THROWS_EXCEPTION(DeviceError, device.slot(-1));
    QVERIFY_THROWS_EXCEPTION(DeviceError, device.setSlot(93, 0x1C, "a"));
    QVERIFY_THROWS_EXCEPTION(DeviceError, device.setStringLength(0));
    QVERIFY_THROWS_EXCEPTION(DeviceError, device.setStringLength(11));
    device.setSlot(92, 0x1C, QByteArray(20, 'x'));  // longer input is cut to the slot
    QCOMPARE(device.slot(92).bytes.back(), std::uint8_t('x'));
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
    QCOMPARE(link.bytesAvailable(), 0);
    waiter.delay(9);
    QCOMPARE(link.bytesAvailable(), 0);
    waiter.delay(3);  // 12 ms: bytes due at 10, 11 and 12
    QCOMPARE(link.readAll(), QByteArray("QZ4"));
    waiter.delay(100);
    QCOMPARE(link.readAll(), QByteArray("VELD V2.10"));
    QCOMPARE(waiter.waits(), (QList<int>{9, 3, 100}));
    QCOMPARE(link.writes(), QList<QByteArray>{"V"});
}

void SimDeviceTest::fakeLinkCloseLosesPendingAnswer()
{
    DeviceModel device;
    VirtualClock clock;
    FakeSerialLink link(device, clock);
    link.open();
    link.write("V");
    link.close();
    link.open();
    clock.nowMs += 100;
    QCOMPARE(link.bytesAvailable(), 0);
    QCOMPARE(link.openCount(), 2);
    QCOMPARE(link.closeCount(), 1);
}

void SimDeviceTest::fakeLinkUnplug()
{
    DeviceModel device;
    VirtualClock clock;
    FakeSerialLink link(device, clock);
    device.faults().unplugAfter = 1;
    link.open();
    link.write("z");
    QCOMPARE(link.readAll(), QByteArray("\xE8"));
    link.write("V");
    QVERIFY_THROWS_EXCEPTION(SerialError, link.bytesAvailable());
    QVERIFY(!link.isOpen());
    QVERIFY_THROWS_EXCEPTION(SerialError, link.open());  // the device is gone
    QVERIFY_THROWS_EXCEPTION(SerialError, link.configure(1, QStringLiteral("9600,X,8,2")));
}

QTEST_GUILESS_MAIN(SimDeviceTest)
#include "tst_sim_device.moc"
