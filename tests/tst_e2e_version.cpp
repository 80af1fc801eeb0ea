// The real serial link and waiter against qz4veld-sim on a pseudo-terminal, and
// the simulator's state file. Each operation against each misbehaviour is in
// tst_e2e_faults; one link used by several operations in tst_e2e_table.
#include "device/attachment.h"
#include "device/event_loop_waiter.h"
#include "device/protocol.h"
#include "device/qt_serial_link.h"
#include "support/fake_device.h"
#include "support/file_helpers.h"
#include "support/sim_process.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The real link and waiter on the simulator's terminal.
struct RealRig final {
    explicit RealRig(const QString& path) : link({{1, path}}) { link.configure(1, QStringLiteral("9600,N,8,2")); }
    QtSerialLink link;
    EventLoopWaiter waiter;
    fakedev::RecordingStatus status;
    fakedev::RecordingMessages messages;

    // Sends raw bytes and waits (up to seconds, not the protocol's fixed wait)
    // for `size` answer bytes: for setting the simulator up, not for judging timing.
    QByteArray settle(const QByteArray& bytes, int size)
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
};

qint64 cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

}  // namespace

class E2eVersionTest final : public QObject {
    Q_OBJECT

private slots:
    // Run by bench/presence_absent.sh for its timing line.
    void absentDevice()
    {
        fakedev::SimProcess sim({QStringLiteral("--absent")});
        QVERIFY2(sim.started(), qPrintable(sim.errors()));
        RealRig rig(sim.path());
        Protocol protocol(rig.link, rig.waiter, rig.status);
        QElapsedTimer wall;
        const qint64 cpuBefore = cpuMs();
        wall.start();
        const AttachCheck check = checkAttached(protocol, rig.messages, 1);
        qInfo("BENCH presence-absent wall_ms=%lld cpu_ms=%lld", wall.elapsed(), cpuMs() - cpuBefore);  // never asserted
        QCOMPARE(check.result, QStringLiteral("QZ4VELDT not responsing on port COM1"));
        QCOMPARE(check.tries, 8);
    }

    void unplugIsReportedOnce()
    {
        fakedev::SimProcess sim({QStringLiteral("--unplug-after"), QStringLiteral("1")});
        QVERIFY2(sim.started(), qPrintable(sim.errors()));
        RealRig rig(sim.path());
        QCOMPARE(rig.settle("z", 1), QByteArray("\xE8"));
        rig.link.write("V");  // the simulator drops the line when this arrives
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
        QTest::qWait(200);
        QCOMPARE(rig.link.errorReports(), 1);  // nothing keeps firing on the dead line
        // Said once: the next open finds the mapped terminal gone.
        const QString reopened = test_files::errorOf<SerialError>([&] { rig.link.open(); });
        QVERIFY(reopened.startsWith("COM1 is mapped to " + sim.path() + " which is not connected"));
    }

    // The device's memory outlives the simulator ([PORTS] from --ini: tst_e2e_cli).
    void stateFile()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("state.bin"));
        {
            fakedev::SimProcess sim({QStringLiteral("--state"), state});
            QVERIFY2(sim.started(), qPrintable(sim.errors()));
            RealRig rig(sim.path());
            QCOMPARE(rig.settle("/L3", 1), QByteArray("\x06"));
            QCOMPARE(rig.settle("/W\x05\x1Cxyz", 2), QByteArray("\x06\x05"));
            QCOMPARE(sim.stop(), 0);
        }
        fakedev::SimProcess again({QStringLiteral("--state"), state});
        QVERIFY2(again.started(), qPrintable(again.errors()));
        QCOMPARE(RealRig(again.path()).settle("/L?/R\x05", 5), QByteArray("3\x1Cxyz"));
    }
};

QTEST_GUILESS_MAIN(E2eVersionTest)
#include "tst_e2e_version.moc"
