#include "device/protocol.h"
#include "support/fake_device.h"

#include <QtTest>

class ProtocolTest final : public QObject {
    Q_OBJECT

private slots:
    void commandBytes()
    {
        QCOMPARE(command::presence() + command::version() + command::queryLength(), QByteArray("zV/L?"));
        QCOMPARE(command::setLength(4) + command::setLength(10), QByteArray("/L4/L:"));  // 10 is the colon
        QCOMPARE(command::readSlot(0) + command::readSlot(92), QByteArray("/R\0/R\x5C", 6));  // row 0 is a real 0x00
        QCOMPARE(command::writeSlotHead(10), QByteArray("/W\x0A"));
        for (int length = 1; length <= 10; ++length)
            QCOMPARE(command::lengthFromDigit(command::lengthDigit(length)), length);
        QCOMPARE(command::lengthFromDigit('0'), 0);
        QCOMPARE(command::lengthFromDigit('\xB1'), 0);  // a high byte must not wrap into range
        QVERIFY_THROWS_EXCEPTION(ProtocolError, command::setLength(0));
        QVERIFY_THROWS_EXCEPTION(ProtocolError, command::setLength(11));
        QVERIFY_THROWS_EXCEPTION(ProtocolError, command::readSlot(-1));
        QVERIFY_THROWS_EXCEPTION(ProtocolError, command::writeSlotHead(97));
        QCOMPARE(trace::displayForm(QByteArray("\x06\0\x15\x0A"
                                               "a{|}~\xE8",
                                               10)),
                 QStringLiteral("{6}{0}{15}{A}a{|{7D}{7E}{E8}"));
    }

    void lateAnswerIsReadByNextCommand()
    {
        fakedev::Rig rig;
        rig.device.faults().latencyMs = 40;  // longer than the version wait
        Protocol protocol(rig.link, rig.waiter, rig.status);
        QCOMPARE(protocol.queryVersion(), QString());
        QCOMPARE(protocol.queryStringLength(), QByteArray("QZ4VELD V2.106"));
        QCOMPARE(rig.status.lines,
                 (QStringList{"Requesting Version", "Version = ???", "Sent /L?", "Response  QZ4VELD V2.106"}));
        QCOMPARE(rig.link.written(), QByteArray("V/L?"));
        QCOMPARE(rig.waiter.waits(),
                 (QList<int>{25, 100}));  // the other fixed waits are counted in the operations' tests
        QCOMPARE(rig.link.openCount(), 1);  // opened on demand, and an open port is never reopened
    }

    void presencePolling_data()
    {
        QTest::addColumn<int>("latency");
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("polls");
        QTest::newRow("after 12 ms") << 12 << false << QByteArray("\xE8") << 3;
        QTest::newRow("at the last poll") << 255 << false << QByteArray("\xE8") << 51;
        QTest::newRow("too late") << 256 << false << QByteArray() << 51;
        // Bytes 1 ms apart from 3 ms on: the first poll that sees any takes what has come.
        QTest::newRow("chunked") << 3 << true << QByteArray("abc") << 1;
    }
    void presencePolling()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, polls);
        fakedev::Rig rig;
        QFETCH(int, latency);
        QFETCH(bool, chunked);
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

    // The ways a block goes wrong are checked with the Send operation.
    void writeSlotAndBlockAnswer()
    {
        fakedev::Rig rig;
        rig.device.setStringLength(4);
        Protocol protocol(rig.link, rig.waiter, rig.status);
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 protocol.writeSlot(10, 0x1C, QByteArray("ab"), 4, QStringLiteral("ab")));
        QVERIFY_THROWS_EXCEPTION(ProtocolError, protocol.writeSlot(10, 256, QByteArray(4, '\0'), 4, QString()));
        QVERIFY(rig.link.written().isEmpty());  // a short or bad block never goes out

        protocol.writeSlot(10, 0x1C, QByteArray("ab\r\0", 4), 4, QStringLiteral("ab{0D}"));
        QCOMPARE(rig.link.writes(), (QList<QByteArray>{"/W\x0A", "\x1C", QByteArray("ab\r\0", 4)}));
        QVERIFY(rig.waiter.waits().isEmpty());  // no pause inside a block
        QCOMPARE(rig.device.slotAnswer(10),
                 QByteArray("\x1C"
                            "ab\r\0",
                            5));
        QList<int> readBacks;
        const BlockAnswer answer = protocol.awaitBlockAnswer(10, [&](int row) { return readBacks.append(row), true; });
        QVERIFY(answer.acknowledged && answer.verified);
        QCOMPARE(readBacks, QList<int>{10});
        QCOMPARE(rig.status.lines, (QStringList{"/W{A}{1C}ab{0D}", "success  blk# A"}));
        // The window always runs its five rounds, an early good answer included.
        QCOMPARE(rig.waiter.waits(), QList<int>(5, 10));
        QCOMPARE(rig.waiter.processEventsCount(), 5);
    }
};

QTEST_GUILESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
