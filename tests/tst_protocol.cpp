#include "device/protocol.h"
#include "support/fake_device.h"

#include <QtTest>

namespace {

QByteArray hexBytes(const char* text)
{
    return QByteArray::fromHex(text);
}

}  // namespace

class ProtocolTest final : public QObject {
    Q_OBJECT

private slots:
    void commandBytes_data();
    void commandBytes();
    void refusedArguments_data();
    void refusedArguments();
    void lengthDigits();
    void slotResponseLines_data();
    void slotResponseLines();
    void displayForm_data();
    void displayForm();
    void fixedWaitExchanges_data();
    void fixedWaitExchanges();
    void lateAnswerIsReadByNextCommand();
    void portOpensOnDemandOnlyOnce();
    void presencePolling_data();
    void presencePolling();
    void writeSlotGoesOutAsThreeWrites();
    void shortSlotIsNeverSent();
    void blockAnswer_data();
    void blockAnswer();
    void blockReadBackTracesInOrder();
};

void ProtocolTest::commandBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("presence") << command::presence() << hexBytes("7A");
    QTest::newRow("version") << command::version() << hexBytes("56");
    QTest::newRow("query length") << command::queryLength() << hexBytes("2F4C3F");
    QTest::newRow("set length 1") << command::setLength(1) << hexBytes("2F4C31");
    QTest::newRow("set length 4") << command::setLength(4) << hexBytes("2F4C34");
    QTest::newRow("set length 10 is a colon") << command::setLength(10) << hexBytes("2F4C3A");
    QTest::newRow("read row 0 is a raw zero byte") << command::readSlot(0) << hexBytes("2F5200");
    QTest::newRow("read row 10") << command::readSlot(10) << hexBytes("2F520A");
    QTest::newRow("read row 92") << command::readSlot(92) << hexBytes("2F525C");
    QTest::newRow("write head row 0") << command::writeSlotHead(0) << hexBytes("2F5700");
}

void ProtocolTest::commandBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
}

void ProtocolTest::refusedArguments_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("value");
    QTest::newRow("length 0") << 0 << 0;
    QTest::newRow("length 11") << 0 << 11;
    QTest::newRow("read row -1") << 1 << -1;
    QTest::newRow("read row 97") << 1 << 97;
    QTest::newRow("write row 300") << 2 << 300;
    QTest::newRow("trace row -5") << 3 << -5;
}

void ProtocolTest::refusedArguments()
{
    QFETCH(int, which);
    QFETCH(int, value);
    switch (which) {
    case 0: QVERIFY_THROWS_EXCEPTION(ProtocolError, command::setLength(value)); break;
    case 1: QVERIFY_THROWS_EXCEPTION(ProtocolError, command::readSlot(value)); break;
    case 2: QVERIFY_THROWS_EXCEPTION(ProtocolError, command::writeSlotHead(value)); break;
    default: QVERIFY_THROWS_EXCEPTION(ProtocolError, trace::readSlotSent(value)); break;
    }
}

void ProtocolTest::lengthDigits()
{
    for (int length = 1; length <= 10; ++length)
        QCOMPARE(command::lengthFromDigit(command::lengthDigit(length)), length);
    QCOMPARE(command::lengthFromDigit('0'), 0);
    QCOMPARE(command::lengthFromDigit(';'), 0);
    QCOMPARE(command::lengthFromDigit('\xB1'), 0);  // a high byte must not wrap into range
}

void ProtocolTest::slotResponseLines_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("readLines");
    QTest::addColumn<QString>("verifyLine");  // "-" for no line
    QTest::newRow("empty") << QByteArray() << QStringList{"No response to command received"} << "-";
    QTest::newRow("key and padded string") << hexBytes("1C61620D0000")
                                           << QStringList{"Response: {1C}{61}{62}{0D}{00}{00}"}
                                           << "Response: {61}{62}{0D}{00}{00}";
    QTest::newRow("scan code only") << hexBytes("1C") << QStringList{"Response: {1C}"} << "Response: ";
    QTest::newRow("error reply is shown raw") << QByteArray("CMDERR") << QStringList{"CMDERR", "Response: "}
                                              << "Response: {4D}{44}{45}{52}{52}";
    QTest::newRow("error reply after garbage") << QByteArray("\x01" "CMDERR", 7)
                                               << QStringList{QString::fromLatin1("\x01" "CMDERR"), "Response: "}
                                               << "Response: {43}{4D}{44}{45}{52}{52}";
}

void ProtocolTest::slotResponseLines()
{
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, readLines);
    QFETCH(QString, verifyLine);
    QCOMPARE(trace::readSlotResponse(answer), readLines);
    const std::optional<QString> verify = trace::verifySlotResponse(answer);
    QCOMPARE(verify.value_or(QStringLiteral("-")), verifyLine);
}

void ProtocolTest::displayForm_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("acknowledge row 0") << hexBytes("0600") << "{6}{0}";
    QTest::newRow("no zero filling") << hexBytes("150A") << "{15}{A}";
    QTest::newRow("brace and bar stay, 125 up does not") << QByteArray("a{|}~") << "a{|{7D}{7E}";
    QTest::newRow("high bytes") << hexBytes("7FE8FF") << "{7F}{E8}{FF}";
    QTest::newRow("blank stays") << QByteArray(" ") << " ";
}

void ProtocolTest::displayForm()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(trace::displayForm(bytes), expected);
}

void ProtocolTest::fixedWaitExchanges_data()
{
    QTest::addColumn<int>("exchange");
    QTest::addColumn<int>("deviceLength");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("wait");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("version") << 0 << 6 << QByteArray("V") << QStringList{"Requesting Version", "Version = QZ4VELD V2.10"}
                             << 25 << QByteArray("QZ4VELD V2.10");
    QTest::newRow("query length 10") << 1 << 10 << QByteArray("/L?") << QStringList{"Sent /L?", "Response  :"} << 100
                                     << QByteArray(":");
    QTest::newRow("set length 10") << 2 << 6 << QByteArray("/L:") << QStringList{"Sent /L:"} << 50 << hexBytes("06");
    QTest::newRow("read row 0") << 3 << 2 << hexBytes("2F5200") << QStringList{"Sent /R{00}"} << 100
                                << hexBytes("FF0000");
}

void ProtocolTest::fixedWaitExchanges()
{
    QFETCH(int, exchange);
    QFETCH(int, deviceLength);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, lines);
    QFETCH(int, wait);
    QFETCH(QByteArray, answer);

    fakedev::Rig rig;
    rig.device.setStringLength(deviceLength);
    Protocol protocol(rig.link, rig.waiter, rig.status);
    QByteArray got;
    switch (exchange) {
    case 0: got = protocol.queryVersion().toLatin1(); break;
    case 1: got = protocol.queryStringLength(); break;
    case 2: got = protocol.setStringLength(10); break;
    default: got = protocol.readSlot(0); break;
    }
    QCOMPARE(rig.link.written().toHex(' '), sent.toHex(' '));
    QCOMPARE(rig.status.lines, lines);
    QCOMPARE(rig.waiter.waits(), QList<int>{wait});
    QCOMPARE(got.toHex(' '), answer.toHex(' '));
}

void ProtocolTest::lateAnswerIsReadByNextCommand()
{
    fakedev::Rig rig;
    rig.device.faults().latencyMs = 40;  // longer than the version wait
    Protocol protocol(rig.link, rig.waiter, rig.status);

    QCOMPARE(protocol.queryVersion(), QString());
    QCOMPARE(protocol.queryStringLength(), QByteArray("QZ4VELD V2.106"));
    QCOMPARE(rig.status.lines, (QStringList{"Requesting Version", "Version = ???", "Sent /L?", "Response  QZ4VELD V2.106"}));
}

void ProtocolTest::portOpensOnDemandOnlyOnce()
{
    fakedev::Rig rig;
    Protocol protocol(rig.link, rig.waiter, rig.status);
    QVERIFY(!rig.link.isOpen());
    protocol.queryStringLength();
    protocol.readSlot(1);
    protocol.setStringLength(3);
    QCOMPARE(rig.link.openCount(), 1);
    QCOMPARE(rig.link.closeCount(), 0);
}

void ProtocolTest::presencePolling_data()
{
    QTest::addColumn<int>("latency");
    QTest::addColumn<bool>("absent");
    QTest::addColumn<bool>("chunked");
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("polls");
    QTest::newRow("immediate") << 0 << false << false << QByteArray() << hexBytes("E8") << 1;
    QTest::newRow("after 12 ms") << 12 << false << false << QByteArray() << hexBytes("E8") << 3;
    QTest::newRow("at the last poll") << 255 << false << false << QByteArray() << hexBytes("E8") << 51;
    QTest::newRow("too late") << 256 << false << false << QByteArray() << QByteArray() << 51;
    QTest::newRow("absent") << 0 << true << false << QByteArray() << QByteArray() << 51;
    // Chunks 1 ms apart: the first poll that sees anything takes only what has arrived.
    QTest::newRow("chunked, first poll takes part") << 3 << false << true << QByteArray("abc") << QByteArray("abc") << 1;
}

void ProtocolTest::presencePolling()
{
    QFETCH(int, latency);
    QFETCH(bool, absent);
    QFETCH(bool, chunked);
    QFETCH(QByteArray, garbage);
    QFETCH(QByteArray, answer);
    QFETCH(int, polls);

    fakedev::Rig rig;
    rig.device.faults().latencyMs = latency;
    rig.device.faults().absent = absent;
    rig.device.faults().chunked = chunked;
    rig.device.faults().garbageBefore = garbage;
    Protocol protocol(rig.link, rig.waiter, rig.status);

    QCOMPARE(protocol.probePresence().toHex(), answer.toHex());
    QCOMPARE(rig.link.written(), QByteArray("z"));
    QCOMPARE(rig.waiter.waits(), QList<int>(polls, 5));
    QVERIFY(rig.status.lines.isEmpty());
    QVERIFY(rig.link.isOpen());
}

void ProtocolTest::writeSlotGoesOutAsThreeWrites()
{
    fakedev::Rig rig;
    rig.device.setStringLength(4);
    Protocol protocol(rig.link, rig.waiter, rig.status);
    protocol.writeSlot(10, 0x1C, hexBytes("61620D00"), 4, QStringLiteral("ab{0D}"));

    QCOMPARE(rig.link.writes(), (QList<QByteArray>{hexBytes("2F570A"), hexBytes("1C"), hexBytes("61620D00")}));
    QCOMPARE(rig.status.lines, QStringList{"/W{A}{1C}ab{0D}"});
    QVERIFY(rig.waiter.waits().isEmpty());  // no pause inside a block
    QCOMPARE(rig.device.slotAnswer(10).toHex(), QByteArray("1c61620d00"));
}

void ProtocolTest::shortSlotIsNeverSent()
{
    fakedev::Rig rig;
    Protocol protocol(rig.link, rig.waiter, rig.status);
    QVERIFY_THROWS_EXCEPTION(ProtocolError, protocol.writeSlot(0, 0x1C, QByteArray("ab"), 4, QStringLiteral("ab")));
    QVERIFY_THROWS_EXCEPTION(ProtocolError, protocol.writeSlot(0, 256, QByteArray(4, '\0'), 4, QString()));
    QVERIFY_THROWS_EXCEPTION(ProtocolError, protocol.writeSlot(0, 0x1C, QByteArray(11, 'a'), 11, QString()));
    QVERIFY(rig.link.written().isEmpty());
    QVERIFY(rig.status.lines.isEmpty());
}

void ProtocolTest::blockAnswer_data()
{
    QTest::addColumn<int>("blockRow");
    QTest::addColumn<int>("awaitedRow");
    QTest::addColumn<bool>("absent");
    QTest::addColumn<bool>("readBackResult");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QList<int>>("readBacks");
    QTest::newRow("acknowledged, read back matches") << 10 << 10 << false << true << "success  blk# A" << QList<int>{10};
    QTest::newRow("acknowledged, read back differs") << 10 << 10 << false << false << "FAILED to verify blk# A"
                                                     << QList<int>{10};
    QTest::newRow("row 0") << 0 << 0 << false << true << "success  blk# 0" << QList<int>{0};
    QTest::newRow("echo of another row") << 10 << 11 << false << true << "{6}{A}" << QList<int>{};
    QTest::newRow("no answer") << 10 << 10 << true << true << "timeout" << QList<int>{};
}

void ProtocolTest::blockAnswer()
{
    QFETCH(int, blockRow);
    QFETCH(int, awaitedRow);
    QFETCH(bool, absent);
    QFETCH(bool, readBackResult);
    QFETCH(QString, line);
    QFETCH(QList<int>, readBacks);

    fakedev::Rig rig;
    rig.device.faults().absent = absent;
    rig.device.setStringLength(2);
    Protocol protocol(rig.link, rig.waiter, rig.status);
    protocol.writeSlot(blockRow, 0x05, QByteArray("ab"), 2, QStringLiteral("ab"));
    rig.status.lines.clear();

    QList<int> calls;
    const BlockAnswer answer = protocol.awaitBlockAnswer(awaitedRow, [&](int row) {
        calls.append(row);
        return readBackResult;
    });
    QCOMPARE(calls, readBacks);
    QCOMPARE(answer.line, line);
    QCOMPARE(rig.status.lines, QStringList{line});
    // The window always runs its five rounds, an early good answer included.
    QCOMPARE(rig.waiter.waits(), QList<int>(5, 10));
    QCOMPARE(rig.waiter.processEventsCount(), 5);
    QCOMPARE(answer.acknowledged, !readBacks.isEmpty());
}

void ProtocolTest::blockReadBackTracesInOrder()
{
    fakedev::Rig rig;
    rig.device.setStringLength(1);
    Protocol protocol(rig.link, rig.waiter, rig.status);
    protocol.writeSlot(3, 0x1C, QByteArray("a"), 1, QStringLiteral("a"));
    protocol.awaitBlockAnswer(3, [&](int row) {
        const QByteArray back = protocol.readSlot(row);
        rig.status.add(*trace::verifySlotResponse(back));
        return back == hexBytes("1C61");
    });
    QCOMPARE(rig.status.lines, (QStringList{"/W{3}{1C}a", "Sent /R{03}", "Response: {61}", "success  blk# 3"}));
    QCOMPARE(rig.waiter.totalWaitedMs(), 150);
}

QTEST_GUILESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
