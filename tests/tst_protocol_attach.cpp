#include "device/attachment.h"
#include "device/protocol.h"
#include "operations/version_operation.h"
#include "support/fake_device.h"

#include <QtTest>

static QString markedLine(int marks)
{
    return QStringLiteral("Check for QZ4VELDT attached") + QStringLiteral(" *").repeated(marks);
}

class AttachTest final : public QObject {
    Q_OBJECT

private slots:
    void checkAttached_data();
    void checkAttached();
    void serialFailureIsTrapped();
    void versionOperation_data();
    void versionOperation();
    void versionOperationAbortClosesPort();
};

void AttachTest::checkAttached_data()
{
    QTest::addColumn<int>("answerFrom");
    QTest::addColumn<int>("presenceByte");
    QTest::addColumn<int>("answerLimit");
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<int>("latency");
    QTest::addColumn<int>("comPort");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("tries");

    QTest::newRow("first try") << 1 << 0xE8 << -1 << QByteArray() << 0 << 1 << "" << 1;
    QTest::newRow("third try") << 3 << 0xE8 << -1 << QByteArray() << 0 << 1 << "" << 3;
    QTest::newRow("absent") << 1 << 0xE8 << 0 << QByteArray() << 0 << 12 << "QZ4VELDT not responsing on port COM12" << 8;
    QTest::newRow("0x41 then nothing") << 1 << 0x41 << 1 << QByteArray() << 0 << 1
                                       << "Not a QZ4VELDT that is connected (received 0x41)" << 8;
    QTest::newRow("0x05 without leading zero") << 1 << 0x05 << -1 << QByteArray() << 0 << 1
                                               << "Not a QZ4VELDT that is connected (received 0x5)" << 8;
    QTest::newRow("several bytes ending in E8") << 1 << 0xE8 << -1 << QByteArray("~#") << 0 << 1 << "" << 1;
    // The first answer comes after its try gave up and is taken by the second.
    QTest::newRow("late answer counts on the next try") << 1 << 0xE8 << -1 << QByteArray() << 300 << 1 << "" << 2;
}

void AttachTest::checkAttached()
{
    QFETCH(int, answerFrom);
    QFETCH(int, presenceByte);
    QFETCH(int, answerLimit);
    QFETCH(QByteArray, garbage);
    QFETCH(int, latency);
    QFETCH(int, comPort);
    QFETCH(QString, result);
    QFETCH(int, tries);

    fakedev::Rig rig;
    DeviceFaults& faults = rig.device.faults();
    faults.presenceAnswerFrom = answerFrom;
    faults.presenceByte = static_cast<std::uint8_t>(presenceByte);
    faults.presenceAnswerLimit = answerLimit;
    faults.garbageBefore = garbage;
    faults.latencyMs = latency;
    Protocol protocol(rig.link, rig.waiter, rig.status);

    const AttachCheck check = ::checkAttached(protocol, rig.messages, comPort);
    QCOMPARE(check.result, result);
    QCOMPARE(check.tries, tries);
    QStringList expected{markedLine(tries)};
    if (result.isEmpty())
        expected << QStringLiteral("QZ4VELDT responded after %1 tries").arg(tries);
    QCOMPARE(rig.status.lines, expected);
    QCOMPARE(rig.link.written(), QByteArray(tries, 'z'));
    QCOMPARE(rig.waiter.processEventsCount(), tries);
    if (tries == 8 && latency == 0 && answerLimit == 0)
        QCOMPARE(rig.waiter.totalWaitedMs(), 8 * 51 * 5);
    QVERIFY(rig.link.isOpen());  // left open for the caller
    QVERIFY(rig.messages.infos.isEmpty());
}

void AttachTest::serialFailureIsTrapped()
{
    fakedev::Rig rig;
    rig.device.faults().unplugAfter = 0;
    Protocol protocol(rig.link, rig.waiter, rig.status);
    const AttachCheck check = ::checkAttached(protocol, rig.messages, 1);
    QCOMPARE(rig.messages.infos,
             QStringList{"Error checking for QZ4VELD attachment- device /dev/fake1 was disconnected"});
    QCOMPARE(check.result, QStringLiteral("QZ4VELDT not responsing on port COM1"));
    QVERIFY(check.linkFailed);
    QCOMPARE(rig.status.lines, QStringList{markedLine(1)});
    QVERIFY(!rig.link.isOpen());
}

void AttachTest::versionOperation_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("completion");

    const QString present = markedLine(1);
    const QString responded = QStringLiteral("QZ4VELDT responded after 1 tries");
    QTest::newRow("device answers") << 0 << QStringList{present, responded, "Requesting Version", "Version = QZ4VELD V2.10"}
                                    << "" << "Operation Successful";
    QTest::newRow("absent") << 1
                            << QStringList{markedLine(8), "QZ4VELDT not responsing on port COM1", "Requesting Version",
                                           "Version = ???"}
                            << "" << "FAILED OPERATION";
    QTest::newRow("empty version") << 2 << QStringList{present, responded, "Requesting Version", "Version = ???"} << ""
                                   << "FAILED OPERATION";
    QTest::newRow("unplugged at the query") << 3 << QStringList{present, responded, "Requesting Version"}
                                            << "Error getting code version. device /dev/fake1 was disconnected"
                                            << "FAILED OPERATION";
    QTest::newRow("port cannot be opened")
        << 4 << QStringList{present, "QZ4VELDT not responsing on port COM1"}
        << "Error checking for QZ4VELD attachment- Cannot open /dev/ttyS0: another program is using it"
        << "FAILED OPERATION";
}

void AttachTest::versionOperation()
{
    QFETCH(int, fault);
    QFETCH(QStringList, lines);
    QFETCH(QString, message);
    QFETCH(QString, completion);

    fakedev::Rig rig;
    switch (fault) {
    case 1: rig.device.faults().absent = true; break;
    case 2: rig.device.setVersion(QByteArray()); break;
    case 3: rig.device.faults().unplugAfter = 1; break;
    case 4: rig.link.setOpenError(QStringLiteral("Cannot open /dev/ttyS0: another program is using it")); break;
    default: break;
    }
    rig.status.add(QStringLiteral("left from the last operation"));

    const VersionOperation::Outcome outcome = VersionOperation(rig.context).run();
    QCOMPARE(outcome, fault == 0 ? VersionOperation::Outcome::Succeeded : VersionOperation::Outcome::Failed);
    QCOMPARE(rig.status.lines, lines);
    QCOMPARE(rig.messages.infos, message.isEmpty() ? QStringList{} : QStringList{message});  // never a second box
    QCOMPARE(rig.status.completion, completion);
    QVERIFY(rig.status.completionShown);
    QCOMPARE(rig.view.controlEvents, (QStringList{"disable", "enable"}));
    QVERIFY(!rig.link.isOpen());
}

void AttachTest::versionOperationAbortClosesPort()
{
    fakedev::Rig rig;
    rig.device.faults().absent = true;
    rig.waiter.setOnEvents([&] {
        if (rig.clock.nowMs >= 100)
            rig.waiter.requestAbort();
    });
    QCOMPARE(VersionOperation(rig.context).run(), VersionOperation::Outcome::Aborted);
    QVERIFY(!rig.link.isOpen());
    QVERIFY(rig.messages.infos.isEmpty());
    QVERIFY(!rig.status.completionShown);
    QVERIFY(rig.view.controlsEnabled);
    QCOMPARE(rig.waiter.totalWaitedMs(), 100);  // stopped at the wait that saw the request
}

QTEST_GUILESS_MAIN(AttachTest)
#include "tst_protocol_attach.moc"
