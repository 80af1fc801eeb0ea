#include "device/attachment.h"
#include "device/protocol.h"
#include "operations/version_operation.h"
#include "support/fake_device.h"

#include <QtTest>

// Rows name only the faults they set; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using fakedev::Rig;
using RigSetup = std::function<void(Rig&)>;
Q_DECLARE_METATYPE(RigSetup)
Q_DECLARE_METATYPE(DeviceFaults)

static QString markedLine(int marks)
{
    return "Check for QZ4VELDT attached" + QStringLiteral(" *").repeated(marks);
}

class AttachTest final : public QObject {
    Q_OBJECT

private slots:
    void checkAttached_data()
    {
        QTest::addColumn<DeviceFaults>("faults");
        QTest::addColumn<int>("comPort");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("tries");
        QTest::newRow("first try") << DeviceFaults{} << 1 << "" << 1;
        QTest::newRow("third try") << DeviceFaults{.presenceAnswerFrom = 3} << 1 << "" << 3;
        QTest::newRow("absent") << DeviceFaults{.presenceAnswerLimit = 0} << 12
                                << "QZ4VELDT not responsing on port COM12" << 8;
        QTest::newRow("0x05 without leading zero")
                << DeviceFaults{.presenceByte = 0x05} << 1 << "Not a QZ4VELDT that is connected (received 0x5)" << 8;
        // The first answer comes after its try gave up and is taken by the second.
        QTest::newRow("late answer counts on the next try") << DeviceFaults{.latencyMs = 300} << 1 << "" << 2;
    }
    void checkAttached()
    {
        QFETCH(DeviceFaults, faults);
        QFETCH(int, comPort);
        Rig rig;
        rig.device.faults() = faults;
        Protocol protocol(rig.link, rig.waiter, rig.status);
        const AttachCheck check = ::checkAttached(protocol, rig.messages, comPort);
        QTEST(check.result, "result");
        QTEST(check.tries, "tries");
        const int tries = check.tries;
        const QString responded = QStringLiteral("QZ4VELDT responded after %1 tries").arg(tries);
        QCOMPARE(rig.status.lines,
                 QStringList{markedLine(tries)} + (check.result.isEmpty() ? QStringList{responded} : QStringList{}));
        QCOMPARE(rig.link.written(), QByteArray(tries, 'z'));
        QCOMPARE(rig.waiter.processEventsCount(), tries);
        if (faults.presenceAnswerLimit == 0)
            QCOMPARE(rig.waiter.totalWaitedMs(), 8 * 51 * 5);
        QVERIFY(rig.link.isOpen() && rig.messages.infos.isEmpty());  // left open for the caller
    }

    void versionOperation_data()
    {
        QTest::addColumn<RigSetup>("setup");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("completion");
        const QStringList present{markedLine(1), "QZ4VELDT responded after 1 tries", "Requesting Version"};
        QTest::newRow("device answers") << RigSetup([](Rig&) {}) << present + QStringList{"Version = QZ4VELD V2.10"}
                                        << ""
                                        << "Operation Successful";
        QTest::newRow("empty version") << RigSetup([](Rig& r) { r.device.setVersion(QByteArray()); })
                                       << present + QStringList{"Version = ???"} << ""
                                       << "FAILED OPERATION";
        QTest::newRow("absent: still asked") << RigSetup([](Rig& r) {
            r.device.faults().absent = true;
        }) << QStringList{markedLine(8), "QZ4VELDT not responsing on port COM1", "Requesting Version", "Version = ???"}
                                             << ""
                                             << "FAILED OPERATION";
        // A serial failure in the presence check is its only message: no query follows.
        QTest::newRow("unplugged at the presence check")
                << RigSetup([](Rig& r) { r.device.faults().unplugAfter = 0; })
                << QStringList{markedLine(1), "QZ4VELDT not responsing on port COM1"}
                << "Error checking for QZ4VELD attachment- device /dev/fake1 was disconnected"
                << "FAILED OPERATION";
    }
    void versionOperation()
    {
        QFETCH(RigSetup, setup);
        QFETCH(QString, message);
        QFETCH(QString, completion);
        Rig rig;
        setup(rig);
        rig.status.add(QStringLiteral("left from the last operation"));
        QCOMPARE(VersionOperation(rig.context).run(),
                 completion == "Operation Successful" ? VersionOperation::Outcome::Succeeded
                                                      : VersionOperation::Outcome::Failed);
        QTEST(rig.status.lines, "lines");
        QCOMPARE(rig.messages.infos, message.isEmpty() ? QStringList{} : QStringList{message});  // never a second box
        QVERIFY(rig.status.completionShown && rig.status.completion == completion && !rig.link.isOpen());
        QCOMPARE(rig.view.controlEvents, (QStringList{"disable", "enable"}));
    }

    void versionOperationAbortClosesPort()
    {
        Rig rig;
        rig.device.faults().absent = true;
        rig.waiter.setOnEvents([&] {
            if (rig.clock.nowMs >= 100)
                rig.waiter.requestAbort();
        });
        QCOMPARE(VersionOperation(rig.context).run(), VersionOperation::Outcome::Aborted);
        QVERIFY(!rig.link.isOpen() && rig.messages.infos.isEmpty() && !rig.status.completionShown
                && rig.view.controlsEnabled);
        QCOMPARE(rig.waiter.totalWaitedMs(), 100);  // stopped at the wait that saw the request
    }
};

QTEST_GUILESS_MAIN(AttachTest)
#include "tst_protocol_attach.moc"
