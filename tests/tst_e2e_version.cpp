// The real serial link and waiter against qz4veld-sim on a pseudo-terminal.
#include "device/attachment.h"
#include "device/event_loop_waiter.h"
#include "device/protocol.h"
#include "device/qt_serial_link.h"
#include "operations/version_operation.h"
#include "support/fake_device.h"
#include "support/sim_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

namespace {

// Everything around the real link that an operation needs.
struct RealRig final {
    explicit RealRig(const QString& path) : link({{1, path}})
    {
        link.configure(1, QStringLiteral("9600,N,8,2"));
    }
    QtSerialLink link;
    EventLoopWaiter waiter;
    fakedev::RecordingStatus status;
    fakedev::RecordingMessages messages;
    RowTable rows;
    fakedev::RecordingView view;
    OperationContext context{link, waiter, messages, status, rows, view, 1};
};

qint64 cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

const QString kMarked = QStringLiteral("Check for QZ4VELDT attached *");

// A busy machine may delay the simulator past a probe's 255 ms; the check then
// needs more tries, which is the device being slow, not a fault.
QStringList presentLines(int tries)
{
    return {QStringLiteral("Check for QZ4VELDT attached") + QStringLiteral(" *").repeated(tries),
            QStringLiteral("QZ4VELDT responded after %1 tries").arg(tries)};
}

// Sends raw bytes and waits (up to seconds, not the protocol's fixed wait) for
// `size` answer bytes: for setting the simulator up, not for judging timing.
QByteArray settle(QtSerialLink& link, EventLoopWaiter& waiter, const QByteArray& bytes, int size)
{
    link.open();
    link.write(bytes);
    QByteArray answer;
    for (int poll = 0; poll < 500 && answer.size() < size; ++poll) {
        waiter.delay(10);
        answer += link.readAll();
    }
    return answer;
}

}  // namespace

class E2eVersionTest final : public QObject {
    Q_OBJECT

private slots:
    void versionQueryTwiceOnOnePort();
    void presenceWithLatency();
    void absentDevice();
    void unplugGivesOneMessage();
    void portHeldByAnotherLink();
    void stateAndSettingsFile();
};

void E2eVersionTest::versionQueryTwiceOnOnePort()
{
    fakedev::SimProcess sim({QStringLiteral("--version"), QStringLiteral("E2E 1.0")});
    QVERIFY2(sim.started(), qPrintable(sim.errors()));
    RealRig rig(sim.path());

    // The second run reopens the port the first one closed.
    for (int run = 0; run < 2; ++run) {
        // A pty round trip on a loaded machine can exceed the 25 ms version wait;
        // that is the device being late, not a fault here.
        VersionOperation::Outcome outcome = VersionOperation::Outcome::Failed;
        for (int attempt = 0; attempt < 5 && outcome != VersionOperation::Outcome::Succeeded; ++attempt)
            outcome = VersionOperation(rig.context).run();
        QCOMPARE(outcome, VersionOperation::Outcome::Succeeded);
        const int tries = static_cast<int>(rig.status.lines.constFirst().count(QLatin1Char('*')));
        QCOMPARE(rig.status.lines, presentLines(tries) + QStringList({"Requesting Version", "Version = E2E 1.0"}));
        QCOMPARE(rig.status.completion, QStringLiteral("Operation Successful"));
        QVERIFY(!rig.link.isOpen());
    }
    QVERIFY(rig.messages.infos.isEmpty());
}

void E2eVersionTest::presenceWithLatency()
{
    fakedev::SimProcess sim({QStringLiteral("--latency"), QStringLiteral("20")});
    QVERIFY2(sim.started(), qPrintable(sim.errors()));
    RealRig rig(sim.path());
    Protocol protocol(rig.link, rig.waiter, rig.status);

    const AttachCheck check = checkAttached(protocol, rig.messages, 1);
    QCOMPARE(check.result, QString());
    QCOMPARE(rig.status.lines, presentLines(check.tries));
    QVERIFY(rig.link.isOpen());
    QVERIFY(rig.messages.infos.isEmpty());
}

void E2eVersionTest::absentDevice()
{
    fakedev::SimProcess sim({QStringLiteral("--absent")});
    QVERIFY2(sim.started(), qPrintable(sim.errors()));
    RealRig rig(sim.path());
    Protocol protocol(rig.link, rig.waiter, rig.status);

    QElapsedTimer wall;
    const qint64 cpuBefore = cpuMs();
    wall.start();
    const AttachCheck check = checkAttached(protocol, rig.messages, 1);
    const qint64 wallMs = wall.elapsed();
    const qint64 cpu = cpuMs() - cpuBefore;
    // Printed for bench/presence_absent.sh; never asserted.
    qInfo("BENCH presence-absent wall_ms=%lld cpu_ms=%lld", wallMs, cpu);
    QCOMPARE(check.result, QStringLiteral("QZ4VELDT not responsing on port COM1"));
    QCOMPARE(check.tries, 8);
    protocol.close();

    QCOMPARE(VersionOperation(rig.context).run(), VersionOperation::Outcome::Failed);
    QCOMPARE(rig.status.lines, (QStringList{"Check for QZ4VELDT attached * * * * * * * *",
                                            "QZ4VELDT not responsing on port COM1", "Requesting Version", "Version = ???"}));
    QCOMPARE(rig.status.completion, QStringLiteral("FAILED OPERATION"));
    QVERIFY(rig.messages.infos.isEmpty());
}

void E2eVersionTest::unplugGivesOneMessage()
{
    fakedev::SimProcess sim({QStringLiteral("--unplug-after"), QStringLiteral("1")});
    QVERIFY2(sim.started(), qPrintable(sim.errors()));
    RealRig rig(sim.path());
    QCOMPARE(settle(rig.link, rig.waiter, QByteArray("z"), 1), QByteArray("\xE8"));
    rig.link.write(QByteArrayLiteral("V"));  // the simulator drops the line when this arrives
    QStringList errors;
    for (int poll = 0; poll < 500 && errors.isEmpty(); ++poll) {
        try {
            rig.waiter.delay(10);
            rig.link.bytesAvailable();
        } catch (const SerialError& error) {
            errors << QString::fromUtf8(error.what());
        }
    }
    QCOMPARE(errors, QStringList{QStringLiteral("device %1 was disconnected").arg(sim.path())});
    QVERIFY(!rig.link.isOpen());
    QVERIFY(sim.waitForExit(5000));
    // Nothing keeps firing on the dead line afterwards.
    QTest::qWait(200);
    QCOMPARE(rig.link.errorReports(), 1);

    // The next operation finds the port gone: one message, no second one for the query.
    QCOMPARE(VersionOperation(rig.context).run(), VersionOperation::Outcome::Failed);
    QCOMPARE(rig.status.lines, (QStringList{kMarked, "QZ4VELDT not responsing on port COM1"}));  // no query after it
    QCOMPARE(rig.messages.infos.size(), 1);
    QVERIFY2(rig.messages.infos.constFirst().startsWith(
                 QStringLiteral("Error checking for QZ4VELD attachment- Cannot open %1: ").arg(sim.path())),
             qPrintable(rig.messages.infos.constFirst()));
    QCOMPARE(rig.status.completion, QStringLiteral("FAILED OPERATION"));
    QVERIFY(!rig.link.isOpen());
}

void E2eVersionTest::portHeldByAnotherLink()
{
    fakedev::SimProcess sim({});
    QVERIFY2(sim.started(), qPrintable(sim.errors()));
    RealRig first(sim.path());
    RealRig second(sim.path());
    first.link.open();
    try {
        second.link.open();
        QFAIL("a second open succeeded");
    } catch (const SerialError& error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("Cannot open %1: another program is using it").arg(sim.path()));
    }
    first.link.close();
    second.link.open();  // free again once the first lets go
}

void E2eVersionTest::stateAndSettingsFile()
{
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("state.bin"));
    const QString ini = dir.filePath(QStringLiteral("QZ4Vel.ini"));
    const QByteArray settings("[COMSETTINGS]\r\nPORT=1\r\n");
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
    file.close();
    {
        fakedev::SimProcess sim({QStringLiteral("--state"), state, QStringLiteral("--ini"), ini});
        QVERIFY2(sim.started(), qPrintable(sim.errors()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), settings + "[PORTS]\r\nCOM1=" + sim.path().toLocal8Bit() + "\r\n");

        RealRig rig(sim.path());
        QCOMPARE(settle(rig.link, rig.waiter, QByteArray("/L3"), 1), QByteArray("\x06"));
        QCOMPARE(settle(rig.link, rig.waiter, QByteArray("/W\x05\x1Cxyz"), 2), QByteArray("\x06\x05"));
        QCOMPARE(sim.stop(), 0);
    }
    fakedev::SimProcess again({QStringLiteral("--state"), state});
    QVERIFY2(again.started(), qPrintable(again.errors()));
    RealRig rig(again.path());
    QCOMPARE(settle(rig.link, rig.waiter, QByteArray("/L?/R\x05"), 5), QByteArray("3\x1Cxyz"));
}

QTEST_GUILESS_MAIN(E2eVersionTest)
#include "tst_e2e_version.moc"
