#include "device/protocol.h"
#include "support/fake_device.h"

#include <QtTest>

static QByteArray hexBytes(const char* text)
{
    return QByteArray::fromHex(text);
}

class ProtocolTest final : public QObject {
    Q_OBJECT

private slots:
    void commandBytes();
    void slotResponseLines_data();
    void slotResponseLines();
    void fixedWaitExchanges_data();
    void fixedWaitExchanges();
    void lateAnswerIsReadByNextCommand();
    void presencePolling_data();
    void presencePolling();
    void writeSlot();
    void blockAnswer_data();
    void blockAnswer();
};

void ProtocolTest::commandBytes()
{
    QCOMPARE(command::presence() + command::version() + command::queryLength(), QByteArray("zV/L?"));
    QCOMPARE(command::setLength(4).toHex(), QByteArray("2f4c34"));
    QCOMPARE(command::setLength(10).toHex(), QByteArray("2f4c3a"));  // 10 is the colon
    QCOMPARE(command::readSlot(0).toHex(), QByteArray("2f5200"));   // row 0 is a real 0x00
    QCOMPARE(command::readSlot(92).toHex(), QByteArray("2f525c"));
    QCOMPARE(command::writeSlotHead(10).toHex(), QByteArray("2f570a"));
    for (int length = 1; length <= 10; ++length)
        QCOMPARE(command::lengthFromDigit(command::lengthDigit(length)), length);
    QCOMPARE(command::lengthFromDigit('0'), 0);
    QCOMPARE(command::lengthFromDigit('\xB1'), 0);  // a high byte must not wrap into range
    QVERIFY_THROWS_EXCEPTION(ProtocolError, command::setLength(0));
    QVERIFY_THROWS_EXCEPTION(ProtocolError, command::setLength(11));
    QVERIFY_THROWS_EXCEPTION(ProtocolError, command::readSlot(-1));
    QVERIFY_THROWS_EXCEPTION(ProtocolError, command::writeSlotHead(97));
    QCOMPARE(trace::displayForm(hexBytes("0600150A") + "a{|}~" + hexBytes("E8")), QStringLiteral("{6}{0}{15}{A}a{|{7D}{7E}{E8}"));
}

void ProtocolTest::slotResponseLines_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("readLines");
    QTest::addColumn<QString>("verifyLine");  // "-" for no line
    QTest::newRow("empty") << QByteArray() << QStringList{"No response to command received"} << "-";
    QTest::newRow("key and padded string") << hexBytes("1C61620D0000") << QStringList{"Response: {1C}{61}{62}{0D}{00}{00}"}
                                           << "Response: {61}{62}{0D}{00}{00}";
    QTest::newRow("scan code only") << hexBytes("1C") << QStringList{"Response: {1C}"} << "Response: ";
    QTest::newRow("error reply is shown raw") << QByteArray("\x01" "CMDERR")
                                              << QStringList{QString::fromLatin1("\x01" "CMDERR"), "Response: "}
                                              << "Response: {43}{4D}{44}{45}{52}{52}";
}

void ProtocolTest::slotResponseLines()
{
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, readLines);
    QFETCH(QString, verifyLine);
    QCOMPARE(trace::readSlotResponse(answer), readLines);
    QCOMPARE(trace::verifySlotResponse(answer).value_or(QStringLiteral("-")), verifyLine);
}

void ProtocolTest::fixedWaitExchanges_data()
{
    QTest::addColumn<int>("exchange");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("wait");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("version") << 0 << QByteArray("V") << QStringList{"Requesting Version", "Version = QZ4VELD V2.10"} << 25
                             << QByteArray("QZ4VELD V2.10");
    QTest::newRow("query length 10") << 1 << QByteArray("/L?") << QStringList{"Sent /L?", "Response  :"} << 100
                                     << QByteArray(":");
    QTest::newRow("set length 10") << 2 << QByteArray("/L:") << QStringList{"Sent /L:"} << 50 << hexBytes("06");
    QTest::newRow("read row 0") << 3 << hexBytes("2F5200") << QStringList{"Sent /R{00}"} << 100
                                << hexBytes("FF00000000000000000000");
}

void ProtocolTest::fixedWaitExchanges()
{
    QFETCH(int, exchange);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, lines);
    QFETCH(int, wait);
    QFETCH(QByteArray, answer);

    fakedev::Rig rig;
    rig.device.setStringLength(10);
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
    QCOMPARE(rig.link.openCount(), 1);  // opened on demand
}

void ProtocolTest::lateAnswerIsReadByNextCommand()
{
    fakedev::Rig rig;
    rig.device.faults().latencyMs = 40;  // longer than the version wait
    Protocol protocol(rig.link, rig.waiter, rig.status);

    QCOMPARE(protocol.queryVersion(), QString());
    QCOMPARE(protocol.queryStringLength(), QByteArray("QZ4VELD V2.106"));
    QCOMPARE(rig.status.lines, (QStringList{"Requesting Version", "Version = ???", "Sent /L?", "Response  QZ4VELD V2.106"}));
    QCOMPARE(rig.link.openCount(), 1);  // an open port is never reopened
}

void ProtocolTest::presencePolling_data()
{
    QTest::addColumn<int>("latency");
    QTest::addColumn<bool>("chunked");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("polls");
    QTest::newRow("after 12 ms") << 12 << false << hexBytes("E8") << 3;
    QTest::newRow("at the last poll") << 255 << false << hexBytes("E8") << 51;
    QTest::newRow("too late") << 256 << false << QByteArray() << 51;
    // Bytes 1 ms apart from 3 ms on: the first poll that sees any takes what has come.
    QTest::newRow("chunked") << 3 << true << QByteArray("abc") << 1;
}

void ProtocolTest::presencePolling()
{
    QFETCH(int, latency);
    QFETCH(bool, chunked);
    QFETCH(QByteArray, answer);
    QFETCH(int, polls);

    fakedev::Rig rig;
    rig.device.faults().latencyMs = latency;
    rig.device.faults().chunked = chunked;
    rig.device.faults().garbageBefore = "abc";
    Protocol protocol(rig.link, rig.waiter, rig.status);
    const QByteArray got = protocol.probePresence();
    QCOMPARE(got.isEmpty() ? QByteArray() : got.right(answer.size()), answer);
    QCOMPARE(rig.link.written(), QByteArray("z"));
    QCOMPARE(rig.waiter.waits(), QList<int>(polls, 5));
    QVERIFY(rig.status.lines.isEmpty());
}

void ProtocolTest::writeSlot()
{
    fakedev::Rig rig;
    rig.device.setStringLength(4);
    Protocol protocol(rig.link, rig.waiter, rig.status);
    QVERIFY_THROWS_EXCEPTION(ProtocolError, protocol.writeSlot(10, 0x1C, QByteArray("ab"), 4, QStringLiteral("ab")));
    QVERIFY_THROWS_EXCEPTION(ProtocolError, protocol.writeSlot(10, 256, QByteArray(4, '\0'), 4, QString()));
    QVERIFY(rig.link.written().isEmpty());  // a short or bad block never goes out

    protocol.writeSlot(10, 0x1C, hexBytes("61620D00"), 4, QStringLiteral("ab{0D}"));
    QCOMPARE(rig.link.writes(), (QList<QByteArray>{hexBytes("2F570A"), hexBytes("1C"), hexBytes("61620D00")}));
    QCOMPARE(rig.status.lines, QStringList{"/W{A}{1C}ab{0D}"});
    QVERIFY(rig.waiter.waits().isEmpty());  // no pause inside a block
    QCOMPARE(rig.device.slotAnswer(10).toHex(), QByteArray("1c61620d00"));
}

void ProtocolTest::blockAnswer_data()
{
    QTest::addColumn<int>("blockRow");
    QTest::addColumn<int>("awaitedRow");
    QTest::addColumn<bool>("absent");
    QTest::addColumn<bool>("readBackResult");
    QTest::addColumn<QString>("line");
    QTest::newRow("read back matches") << 10 << 10 << false << true << "success  blk# A";
    QTest::newRow("read back differs") << 10 << 10 << false << false << "FAILED to verify blk# A";
    QTest::newRow("row 0") << 0 << 0 << false << true << "success  blk# 0";
    QTest::newRow("echo of another row") << 10 << 11 << false << true << "{6}{A}";
    QTest::newRow("no answer") << 10 << 10 << true << true << "timeout";
}

void ProtocolTest::blockAnswer()
{
    QFETCH(int, blockRow);
    QFETCH(int, awaitedRow);
    QFETCH(bool, absent);
    QFETCH(bool, readBackResult);
    QFETCH(QString, line);

    fakedev::Rig rig;
    rig.device.faults().absent = absent;
    rig.device.setStringLength(2);
    Protocol protocol(rig.link, rig.waiter, rig.status);
    protocol.writeSlot(blockRow, 0x05, QByteArray("ab"), 2, QStringLiteral("ab"));

    QList<int> readBacks;
    const BlockAnswer answer = protocol.awaitBlockAnswer(awaitedRow, [&](int row) {
        readBacks.append(row);
        rig.status.add(trace::readSlotSent(row));
        return readBackResult;
    });
    const bool acknowledged = !absent && blockRow == awaitedRow;
    QCOMPARE(answer.acknowledged, acknowledged);
    QCOMPARE(readBacks, acknowledged ? QList<int>{blockRow} : QList<int>{});
    QCOMPARE(rig.status.lines.constLast(), line);  // after the read-back's own lines
    QCOMPARE(rig.status.lines.size(), acknowledged ? 3 : 2);
    // The window always runs its five rounds, an early good answer included.
    QCOMPARE(rig.waiter.waits(), QList<int>(5, 10));
    QCOMPARE(rig.waiter.processEventsCount(), 5);
}

QTEST_GUILESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
