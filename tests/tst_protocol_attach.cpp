#include "device/attachment.h"
#include "device/protocol.h"
#include "operations/version_operation.h"
#include "support/fake_device.h"

#include <QtTest>

namespace {

QString markedLine(int marks)
{
    QString line = QStringLiteral("Check for QZ4VELDT attached");
    for (int i = 0; i < marks; ++i)
        line += QStringLiteral(" *");
    return line;
}

}  // namespace

class AttachTest final : public QObject {
    Q_OBJECT

private slots:
    void checkAttached_data();
    void checkAttached();
    void absentDeviceWaitPattern();
    void portNumberInMessage();
    void serialFailureIsTrapped_data();
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
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("latency");
    QTest::addColumn<bool>("absent");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("tries");

    const QString none = QStringLiteral("QZ4VELDT not responsing on port COM1");
    QTest::newRow("first try") << 1 << 0xE8 << -1 << QByteArray() << QByteArray() << 0 << false << "" << 1;
    QTest::newRow("third try") << 3 << 0xE8 << -1 << QByteArray() << QByteArray() << 0 << false << "" << 3;
    QTest::newRow("absent") << 1 << 0xE8 << -1 << QByteArray() << QByteArray() << 0 << true << none << 8;
    QTest::newRow("0x41 then nothing") << 1 << 0x41 << 1 << QByteArray() << QByteArray() << 0 << false
                                       << "Not a QZ4VELDT that is connected (received 0x41)" << 8;
    QTest::newRow("0x05 has no leading zero") << 1 << 0x05 << -1 << QByteArray() << QByteArray() << 0 << false
                                              << "Not a QZ4VELDT that is connected (received 0x5)" << 8;
    QTest::newRow("several bytes ending in E8") << 1 << 0xE8 << -1 << QByteArray("~#") << QByteArray() << 0 << false
                                                << "" << 1;
    QTest::newRow("E8 not last") << 1 << 0xE8 << -1 << QByteArray() << QByteArray("#~") << 0 << false
                                 << "Not a QZ4VELDT that is connected (received 0x7E)" << 8;
    // The first answer arrives after its try has given up and is taken by the second.
    QTest::newRow("late answer counts on the next try") << 1 << 0xE8 << -1 << QByteArray() << QByteArray() << 300
                                                        << false << "" << 2;
}

void AttachTest::checkAttached()
{
    QFETCH(int, answerFrom);
    QFETCH(int, presenceByte);
    QFETCH(int, answerLimit);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(int, latency);
    QFETCH(bool, absent);
    QFETCH(QString, result);
    QFETCH(int, tries);

    fakedev::Rig rig;
    DeviceFaults& faults = rig.device.faults();
    faults.presenceAnswerFrom = answerFrom;
    faults.presenceByte = static_cast<std::uint8_t>(presenceByte);
    faults.presenceAnswerLimit = answerLimit;
    faults.garbageBefore = before;
    faults.garbageAfter = after;
    faults.latencyMs = latency;
    faults.absent = absent;
    Protocol protocol(rig.link, rig.waiter, rig.status);

    const AttachCheck check = ::checkAttached(protocol, rig.messages, 1);
    QCOMPARE(check.result, result);
    QCOMPARE(check.tries, tries);
    QVERIFY(!check.linkFailed);
    QStringList expected{markedLine(tries)};
    if (result.isEmpty())
        expected << QStringLiteral("QZ4VELDT responded after %1 tries").arg(tries);
    QCOMPARE(rig.status.lines, expected);
    QCOMPARE(rig.link.written(), QByteArray(tries, 'z'));
    QCOMPARE(rig.waiter.processEventsCount(), tries);
    QVERIFY(rig.link.isOpen());
    QVERIFY(rig.messages.infos.isEmpty());
}

void AttachTest::absentDeviceWaitPattern()
{
    fakedev::Rig rig;
    rig.device.faults().absent = true;
    Protocol protocol(rig.link, rig.waiter, rig.status);
    ::checkAttached(protocol, rig.messages, 1);
    QCOMPARE(rig.waiter.waits(), QList<int>(8 * 51, 5));
    QCOMPARE(rig.waiter.totalWaitedMs(), 2040);
    QCOMPARE(rig.link.openCount(), 1);
}

void AttachTest::portNumberInMessage()
{
    fakedev::Rig rig;
    rig.device.faults().absent = true;
    Protocol protocol(rig.link, rig.waiter, rig.status);
    QCOMPARE(::checkAttached(protocol, rig.messages, 12).result, QStringLiteral("QZ4VELDT not responsing on port COM12"));
}

void AttachTest::serialFailureIsTrapped_data()
{
    QTest::addColumn<bool>("openFails");
    QTest::addColumn<QString>("message");
    QTest::newRow("port cannot be opened") << true
                                           << "Error checking for QZ4VELD attachment- Cannot open /dev/ttyS0: no such serial device";
    QTest::newRow("unplugged during the probe") << false
                                                << "Error checking for QZ4VELD attachment- device /dev/fake1 was disconnected";
}

void AttachTest::serialFailureIsTrapped()
{
    QFETCH(bool, openFails);
    QFETCH(QString, message);
    fakedev::Rig rig;
    if (openFails)
        rig.link.setOpenError(QStringLiteral("Cannot open /dev/ttyS0: no such serial device"));
    else
        rig.device.faults().unplugAfter = 0;
    Protocol protocol(rig.link, rig.waiter, rig.status);

    const AttachCheck check = ::checkAttached(protocol, rig.messages, 1);
    QCOMPARE(rig.messages.infos, QStringList{message});
    QCOMPARE(check.result, QStringLiteral("QZ4VELDT not responsing on port COM1"));
    QVERIFY(check.linkFailed);
    QCOMPARE(rig.status.lines, QStringList{markedLine(1)});
    QVERIFY(!rig.link.isOpen());
}

void AttachTest::versionOperation_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("completion");
    QTest::addColumn<QByteArray>("written");

    const QString present = markedLine(1);
    const QString responded = QStringLiteral("QZ4VELDT responded after 1 tries");
    QTest::newRow("device answers") << 0 << QStringList{present, responded, "Requesting Version", "Version = QZ4VELD V2.10"}
                                    << QStringList{} << "Operation Successful" << QByteArray("zV");
    QTest::newRow("absent") << 1
                            << QStringList{markedLine(8), "QZ4VELDT not responsing on port COM1", "Requesting Version",
                                           "Version = ???"}
                            << QStringList{} << "FAILED OPERATION" << QByteArray("zzzzzzzzV");
    QTest::newRow("empty version") << 2 << QStringList{present, responded, "Requesting Version", "Version = ???"}
                                   << QStringList{} << "FAILED OPERATION" << QByteArray("zV");
    QTest::newRow("unplugged at the query") << 3 << QStringList{present, responded, "Requesting Version"}
                                            << QStringList{"Error getting code version. device /dev/fake1 was disconnected"}
                                            << "FAILED OPERATION" << QByteArray("zV");
    QTest::newRow("port cannot be opened")
        << 4 << QStringList{present, "QZ4VELDT not responsing on port COM1"}
        << QStringList{"Error checking for QZ4VELD attachment- Cannot open /dev/ttyS0: another program is using it"}
        << "FAILED OPERATION" << QByteArray();
}

void AttachTest::versionOperation()
{
    QFETCH(int, fault);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, messages);
    QFETCH(QString, completion);
    QFETCH(QByteArray, written);

    fakedev::Rig rig;
    switch (fault) {
    case 1: rig.device.faults().absent = true; break;
    case 2: rig.device.setVersion(QByteArray()); break;
    case 3: rig.device.faults().unplugAfter = 1; break;
    case 4: rig.link.setOpenError(QStringLiteral("Cannot open /dev/ttyS0: another program is using it")); break;
    default: break;
    }
    rig.status.add(QStringLiteral("left from the last operation"));
    rig.status.completion = QStringLiteral("old");
    rig.status.completionShown = true;

    const VersionOperation::Outcome outcome = VersionOperation(rig.context).run();
    QCOMPARE(outcome, completion == QLatin1String("Operation Successful") ? VersionOperation::Outcome::Succeeded
                                                                            : VersionOperation::Outcome::Failed);
    QCOMPARE(rig.status.lines, lines);
    QCOMPARE(rig.status.clears, 1);
    QCOMPARE(rig.messages.infos, messages);
    QCOMPARE(rig.status.completion, completion);
    QVERIFY(rig.status.completionShown);
    QCOMPARE(rig.view.controlEvents, (QStringList{"disable", "enable"}));
    QCOMPARE(rig.link.written(), written);
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
    QCOMPARE(rig.waiter.totalWaitedMs(), 100);
}

QTEST_GUILESS_MAIN(AttachTest)
#include "tst_protocol_attach.moc"
