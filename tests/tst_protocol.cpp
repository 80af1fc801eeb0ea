#include "device/attachment.h"
#include "device/protocol.h"
#include "operations/version_operation.h"
#include "support/ops_rig.h"

#include <QtTest>

// Rows name only the faults they set; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

Q_DECLARE_METATYPE(DeviceFaults)

static QString markedLine(int marks)
{
    return "Check for QZ4VELDT attached" + QStringLiteral(" *").repeated(marks);
}

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
        QCOMPARE(trace::displayForm(QByteArray("\006\0\025\na{|}~\350", 10)), "{6}{0}{15}{A}a{|{7D}{7E}{E8}");
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
        QCOMPARE(rig.waiter.waits(), (QList<int>{25, 100}));  // the other fixed waits: the operations' tests
        QCOMPARE(rig.link.openCount(), 1);  // opened on demand, and an open port is never reopened
    }

    // What came in after a command's wait, before the next command went out, answered
    // the earlier one: the next command does not take it for its own answer.
    void answerBetweenCommandsIsDropped()
    {
        fakedev::Rig rig;
        rig.device.faults().latencyMs = 40;
        Protocol protocol(rig.link, rig.waiter, rig.status);
        QCOMPARE(protocol.queryVersion(), QString());
        rig.waiter.delay(20);
        QCOMPARE(protocol.queryStringLength(), QByteArray("6"));
    }

    // Ahead of each answer "abc", which a poll may take along.
    void presencePolling_data()
    {
        QTest::addColumn<DeviceFaults>("faults");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("polls");
        QTest::newRow("after 12 ms") << DeviceFaults{.latencyMs = 12} << QByteArray("\xE8") << 3;
        QTest::newRow("at the last poll") << DeviceFaults{.latencyMs = 255} << QByteArray("\xE8") << 51;
        QTest::newRow("too late") << DeviceFaults{.latencyMs = 256} << QByteArray() << 51;
        // Bytes 1 ms apart from 3 ms on: the first poll that sees any takes what has come.
        QTest::newRow("chunked") << DeviceFaults{.chunked = true, .latencyMs = 3} << QByteArray("abc") << 1;
    }
    void presencePolling()
    {
        QFETCH(DeviceFaults, faults);
        QFETCH(QByteArray, answer);
        QFETCH(int, polls);
        fakedev::Rig rig;
        rig.device.faults() = faults;
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
        QCOMPARE(rig.device.slotAnswer(10), QByteArray("\034ab\r\0", 5));
        QList<int> readBacks;
        const BlockAnswer answer = protocol.awaitBlockAnswer(10, [&](int row) { return readBacks.append(row), true; });
        QVERIFY(answer.acknowledged);
        QVERIFY(answer.verified);
        QCOMPARE(readBacks, QList<int>{10});
        QCOMPARE(rig.status.lines, (QStringList{"/W{A}{1C}ab{0D}", "success  blk# A"}));
        // The window always runs its five rounds, an early good answer included.
        QCOMPARE(rig.waiter.waits(), QList<int>(5, 10));
        QCOMPARE(rig.waiter.processEventsCount(), 5);
    }

    void checkAttached_data()
    {
        QTest::addColumn<DeviceFaults>("faults");
        QTest::addColumn<int>("comPort");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("tries");
        QTest::newRow("first try") << DeviceFaults{} << 1 << QString() << 1;
        QTest::newRow("third try") << DeviceFaults{.presenceAnswerFrom = 3} << 1 << QString() << 3;
        QTest::newRow("absent") << DeviceFaults{.presenceAnswerLimit = 0} << 12
                                << "QZ4VELDT not responsing on port COM12" << 8;
        QTest::newRow("0x05 without leading zero")
                << DeviceFaults{.presenceByte = 0x05} << 1 << "Not a QZ4VELDT that is connected (received 0x5)" << 8;
        // The first answer comes after its try gave up and is taken by the second.
        QTest::newRow("late answer counts on the next try") << DeviceFaults{.latencyMs = 300} << 1 << QString() << 2;
    }
    void checkAttached()
    {
        QFETCH(DeviceFaults, faults);
        QFETCH(int, comPort);
        fakedev::Rig rig;
        rig.device.faults() = faults;
        Protocol protocol(rig.link, rig.waiter, rig.status);
        const AttachCheck check = ::checkAttached(protocol, rig.messages, comPort);
        QTEST(check.result, "result");
        QTEST(check.tries, "tries");
        const QString responded = QStringLiteral("QZ4VELDT responded after %1 tries").arg(check.tries);
        QCOMPARE(rig.status.lines,
                 QStringList{markedLine(check.tries)} + QStringList{responded}.mid(!check.attached()));
        QCOMPARE(rig.link.written(), QByteArray(check.tries, 'z'));
        QCOMPARE(rig.waiter.processEventsCount(), check.tries);
        if (faults.presenceAnswerLimit == 0)
            QCOMPARE(rig.waiter.totalWaitedMs(), 8 * 51 * 5);
        QVERIFY(rig.link.isOpen());  // left open for the caller
        QCOMPARE(rig.messages.infos, QStringList());
    }

    void versionOperation_data()
    {
        using opstest::OpsRig, opstest::Setup;
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("completion");
        const QStringList present{markedLine(1), "QZ4VELDT responded after 1 tries", "Requesting Version"};
        const QString absent = "QZ4VELDT not responsing on port COM1", failed = "FAILED OPERATION";
        QTest::newRow("device answers") << Setup([](OpsRig&) {}) << present + QStringList{"Version = QZ4VELD V2.10"}
                                        << QString() << "Operation Successful";
        QTest::newRow("empty version") << Setup([](OpsRig& r) { r.device.setVersion(QByteArray()); })
                                       << present + QStringList{"Version = ???"} << QString() << failed;
        QTest::newRow("absent: still asked")
                << Setup([](OpsRig& r) { r.device.faults().absent = true; })
                << QStringList{markedLine(8), absent, "Requesting Version", "Version = ???"} << QString() << failed;
        // A serial failure in the presence check is its only message: no query follows.
        QTest::newRow("unplugged at the presence check")
                << Setup([](OpsRig& r) { r.device.faults().unplugAfter = 0; }) << QStringList{markedLine(1), absent}
                << "Error checking for QZ4VELD attachment- device /dev/fake1 was disconnected" << failed;
    }
    void versionOperation()
    {
        QFETCH(opstest::Setup, setup);
        QFETCH(QString, message);
        QFETCH(QString, completion);
        opstest::OpsRig rig;
        setup(rig);
        rig.status.add(QStringLiteral("left from the last operation"));
        QCOMPARE(VersionOperation(rig.context).run(),
                 completion == "Operation Successful" ? VersionOperation::Outcome::Succeeded
                                                      : VersionOperation::Outcome::Failed);
        QTEST(rig.status.lines, "lines");
        QCOMPARE(rig.infos, message.isEmpty() ? QStringList{} : QStringList{message});  // never a second box
        QCOMPARE(opstest::ending(rig), opstest::endedWith(completion));
    }

    void versionOperationAbortClosesPort()
    {
        fakedev::Rig rig;
        rig.device.faults().absent = true;
        rig.waiter.setOnEvents([&] {
            if (rig.clock.nowMs >= 100)
                rig.waiter.requestAbort();
        });
        QCOMPARE(VersionOperation(rig.context).run(), VersionOperation::Outcome::Aborted);
        QVERIFY(!rig.link.isOpen());
        QCOMPARE(rig.messages.infos, QStringList());
        QVERIFY(!rig.status.completionShown);
        QVERIFY(rig.view.controlsEnabled);
        QCOMPARE(rig.waiter.totalWaitedMs(), 100);  // stopped at the wait that saw the request
    }
};

QTEST_GUILESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
