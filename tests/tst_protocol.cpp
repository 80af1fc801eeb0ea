// The device protocol's exchanges, the serial port's settings, refusals and waits, and the simulated device.
#include "device/attachment.h"
#include "device/event_loop_waiter.h"
#include "device/port_resolver.h"
#include "device/port_settings.h"
#include "device/protocol.h"
#include "device/qt_serial_link.h"
#include "model/capacity.h"
#include "sim/lib/pty_server.h"
#include "support/data_row.h"
#include "support/fake_device.h"
#include "support/file_helpers.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <cerrno>

// Rows name only the faults they set; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

Q_DECLARE_METATYPE(DeviceFaults)

using Setup = std::function<void(fakedev::Rig&)>;
using Act = std::function<QByteArray(Protocol&)>;
using test_data::row;
Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Act)

static const QByteArray kVersion = QByteArrayLiteral("QZ4VELD V2.10");

static QByteArray joined(const QList<QByteArray>& answers)
{
    QByteArray all;
    for (const QByteArray& answer : answers)
        all += answer + '|';
    return all;
}

class ProtocolTest final : public QObject {
    Q_OBJECT

private slots:
    // The bytes of the commands themselves are checked with the operations' full runs.
    void commandRefusalsAndTraceForm()
    {
        QCOMPARE(command::lengthFromDigit('0'), 0);
        QCOMPARE(command::lengthFromDigit('\xB1'), 0);  // a high byte must not wrap into range
        QVERIFY_THROWS_EXCEPTION(ProtocolError, command::setLength(0));
        QVERIFY_THROWS_EXCEPTION(ProtocolError, command::setLength(11));
        QVERIFY_THROWS_EXCEPTION(ProtocolError, command::readSlot(-1));
        QVERIFY_THROWS_EXCEPTION(ProtocolError, command::writeSlotHead(97));
        QCOMPARE(trace::displayForm(QByteArray("\006\0\025\na{|}~\350", 10)), "{6}{0}{15}{A}a{|{7D}{7E}{E8}");
    }

    // Every answer belongs to its command: one that is late or short is listened for during at most one more
    // wait, which ends once the answer is whole or the line is quiet; below 9600 baud each wait grows by the
    // extra wire time of its bytes. The device (string length 6, known from "/L?") starting afresh stops the run.
    void answersBelongToTheirCommand_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<bool>("fast");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<Act>("act");
        QTest::addColumn<QByteArray>("answer");  // "restarted": DeviceRestarted
        QTest::addColumn<int>("waitedMs");
        const Act version = [](Protocol& p) { return p.queryVersion().toLatin1(); };
        const Act row1 = [](Protocol& p) { return p.readSlot(1); };
        const Act block1 = [](Protocol& p) {
            p.writeSlot(1, 0xFF, QByteArray(6, 0), 6, QString());
            return p.awaitBlockAnswer(1, [&p](int row) { return !p.readSlot(row).isEmpty(); }).line.toLatin1();
        };
        const auto latency = [](int ms, bool chunked = false, int gapMs = 1) {
            return Setup([=](fakedev::Rig& r) {
                DeviceFaults& f = r.device.faults();
                std::tie(f.latencyMs, f.chunked, f.chunkGapMs) = std::tuple(ms, chunked, gapMs);
            });
        };
        const auto scripted = [](const QByteArray& command, const QByteArray& answer) {
            return Setup([=](fakedev::Rig& r) { r.scripted.answers[command] = answer; });
        };
        const QByteArray slot("\xFF\0\0\0\0\0\0", 7), success("success  blk# 1"), restarted("restarted");
        row("version after its wait", 9600, false, latency(40), version, kVersion, 140);
        row("version still arriving", 9600, false, latency(20, true), version, kVersion, 132);
        // Bytes further apart than an adapter's 16 ms bursts, as a busy machine makes them: the text comes whole.
        row("version in bursts", 9600, false, latency(0, true, 24), version, kVersion, 12 * 24 + 100);
        // A line that never stops talking still ends.
        row("version that never stops", 9600, false, Setup([](fakedev::Rig& r) {
                r.device.setVersion(QByteArray(5000, 'x'));
                r.device.faults().chunked = true;
            }),
            version, QByteArray(1026, 'x'), 1025);
        row("slot just past its wait", 9600, false, latency(105), row1, slot, 105);
        row("slot cut short: quiet ends it", 9600, false, scripted("/R\x01", "\x1C\x61"), row1, QByteArray("\x1C\x61"),
            120);
        row("no slot", 9600, false, Setup([](fakedev::Rig& r) { r.device.faults().silentRow = 1; }), row1, QByteArray(),
            200);
        row("block acknowledged late", 9600, false, latency(80), block1, success, 80 + 100);
        // Block 0's acknowledge comes in block 1's window: it is not block 1's answer.
        const Act twoBlocks = [](Protocol& p) {
            p.writeSlot(0, 0xFF, QByteArray(6, 0), 6, QString());
            p.awaitBlockAnswer(0, {});
            p.writeSlot(1, 0xFF, QByteArray(6, 0), 6, QString());
            return p.awaitBlockAnswer(1, {}).line.toLatin1();
        };
        row("acknowledge after its block's extension", 9600, false, latency(120), twoBlocks, QByteArray("timeout"),
            200);
        row("19200 baud: waits as specified", 19200, false, Setup(), row1, slot, 100);
        row("2400 baud: slot", 2400, false, Setup(), row1, slot, 135);
        row("2400 baud: version", 2400, false, Setup(), version, kVersion, 100);
        row("2400 baud: block window", 2400, false, Setup(), block1, success, 100 + 135);
        // Fast exchange ends a block's window early only on its acknowledge, not on what comes before it.
        row("fast: a refusal, then the acknowledge", 9600, true,
            Setup([](fakedev::Rig& r) { r.device.faults().garbageBefore = "\x15\x01"; }), block1, success, 9);
        row("restart mark for a slot", 9600, false, scripted("/R\x01", "\xE8"), row1, restarted, 120);
        row("restart mark after a length acknowledge", 9600, false, scripted("/L6", "\x06\xE8"),
            Act([](Protocol& p) { return p.setStringLength(6); }), restarted, 50);
        row("restart mark instead of an acknowledge", 9600, false,
            scripted(QByteArray("/W\x01\xFF") + QByteArray(6, 0), "\xE8"), block1, restarted, 100);
        // The mark comes after the whole length answer: the next command finds it waiting.
        const Act markWaiting = [](Protocol& p) {
            p.queryStringLength();
            p.waiter().delay(5);
            return p.readSlot(1);
        };
        row("restart mark between commands", 9600, true,
            Setup([](fakedev::Rig& r) { r.device.faults().garbageAfter = "\xE8"; }), markWaiting, restarted, 5);
    }
    void answersBelongToTheirCommand()
    {
        QFETCH(int, baud);
        QFETCH(bool, fast);
        QFETCH(Setup, setup);
        QFETCH(Act, act);
        fakedev::Rig rig;
        rig.link.configure(1, QStringLiteral("%1,N,8,2").arg(baud));
        Protocol protocol(rig.scripted, rig.waiter, rig.status, fast);
        protocol.queryStringLength();
        if (setup)
            setup(rig);
        rig.device.faults().chunked |= fast;  // bytes 1 ms apart: the fast wait ends before the rest is in
        rig.waiter.clearRecord();
        QByteArray answer;
        try {
            answer = act(protocol);
        } catch (const DeviceRestarted&) {
            answer = "restarted";
        }
        QTEST(answer, "answer");
        QTEST(int(rig.waiter.totalWaitedMs()), "waitedMs");
        QCOMPARE(rig.link.openCount(), 1);  // opened on demand, and an open port is never reopened
    }

    // Ahead of each answer "abc", which a poll may take along.
    void presencePolling_data()
    {
        QTest::addColumn<DeviceFaults>("faults");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("polls");
        row("after 12 ms", DeviceFaults{.latencyMs = 12}, QByteArray("\xE8"), 3);
        row("at the last poll", DeviceFaults{.latencyMs = 255}, QByteArray("\xE8"), 51);
        row("too late", DeviceFaults{.latencyMs = 256}, QByteArray(), 51);
        // Bytes 1 ms apart from 3 ms on: the first poll that sees any takes what has come.
        row("chunked", DeviceFaults{.chunked = true, .latencyMs = 3}, QByteArray("abc"), 1);
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

    // A whole block, and nothing else, goes out in three writes; its window always runs its five rounds. The
    // ways a block goes wrong are checked with the Send operation.
    void writeSlotAndBlockAnswer()
    {
        fakedev::Rig rig;
        rig.device.setStringLength(4);
        Protocol protocol(rig.link, rig.waiter, rig.status);
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 protocol.writeSlot(10, 0x1C, QByteArray("ab"), 4, QStringLiteral("ab")));
        QVERIFY_THROWS_EXCEPTION(ProtocolError, protocol.writeSlot(10, 256, QByteArray(4, '\0'), 4, QString()));
        QVERIFY(rig.link.written().isEmpty());

        protocol.writeSlot(10, 0x1C, QByteArray("ab\r\0", 4), 4, QStringLiteral("ab{0D}"));
        QCOMPARE(rig.link.writes(), (QList<QByteArray>{"/W\x0A", "\x1C", QByteArray("ab\r\0", 4)}));
        QVERIFY(rig.waiter.waits().isEmpty());
        protocol.awaitBlockAnswer(10, [](int) { return true; });
        QCOMPARE(rig.waiter.waits(), QList<int>(5, 10));
        QCOMPARE(rig.waiter.processEventsCount(), 5);
    }

    // What the program does between a command and its wait is part of the wait, and so is an event loop that runs
    // over a poll: each read goes out 100 ms after the one before plus only what was done after its wait (here 3 ms of
    // window work per status line, "Sent" inside the wait, the answer's line after it), and a block's five polls end
    // 50 ms after the block even when the window takes 3 ms each time it handles its events (twice a poll).
    void waitsCountFromTheWrite()
    {
        fakedev::Rig rig;
        rig.device.setStringLength(4);
        Protocol protocol(rig.link, rig.waiter, rig.status);
        rig.status.onAdd = [&rig] { rig.clock.nowMs += 3; };
        for (int row = 0; row < 3; ++row)
            rig.status.add(trace::readSlotResponse(protocol.readSlot(row)).join(' '));
        const QList<qint64>& at = rig.link.writeTimes();
        QCOMPARE((QList<qint64>{at.at(1) - at.at(0), at.at(2) - at.at(1)}), (QList<qint64>{103, 103}));

        rig.status.onAdd = {};
        rig.waiter.setOnEvents([&rig] { rig.clock.nowMs += 3; });
        protocol.writeSlot(10, 0x1C, QByteArray("ab\r\0", 4), 4, QStringLiteral("ab{0D}"));
        rig.waiter.clearRecord();
        protocol.awaitBlockAnswer(10, {});
        QCOMPARE(rig.waiter.waits(), (QList<int>{10, 4, 4, 4, 4}));
    }

    void checkAttached_data()
    {
        QTest::addColumn<DeviceFaults>("faults");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("tries");
        row("third try", DeviceFaults{.presenceAnswerFrom = 3}, QString(), 3);
        row("absent", DeviceFaults{.presenceAnswerLimit = 0}, "QZ4VELDT not responsing on port COM12", 8);
        row("0x05 without leading zero", DeviceFaults{.presenceByte = 0x05},
            "Not a QZ4VELDT that is connected (received 0x5)", 8);
        // The first answer comes after its try gave up and is taken by the second.
        row("late answer counts on the next try", DeviceFaults{.latencyMs = 300}, QString(), 2);
    }
    void checkAttached()
    {
        QFETCH(DeviceFaults, faults);
        fakedev::Rig rig;
        rig.device.faults() = faults;
        Protocol protocol(rig.link, rig.waiter, rig.status);
        const AttachCheck check = ::checkAttached(protocol, rig.messages, 12);
        QTEST(check.result, "result");
        QTEST(check.tries, "tries");
        const QString responded = QStringLiteral("QZ4VELDT responded after %1 tries").arg(check.tries);
        QCOMPARE(rig.status.lines,
                 QStringList{"Check for QZ4VELDT attached" + QString(" *").repeated(check.tries)}
                         + QStringList{responded}.mid(!check.attached()));
        QCOMPARE(rig.link.written(), QByteArray(check.tries, 'z'));
        QCOMPARE(rig.waiter.processEventsCount(), check.tries);
        QVERIFY(rig.link.isOpen());  // left open for the caller
        QCOMPARE(rig.messages.infos, QStringList());
    }

    void parseSettings_data()
    {
        QTest::addColumn<QString>("outcome");  // "<baud> <parity> <data> <stop>" or the refusal; the row is the text
        row("2400,o,7,1", "2400 O 7 1");
        row("x,N,8,2", "Invalid baud rate \"x\"");
        row("99999999999999,N,8,2", "Invalid baud rate \"99999999999999\"");
        row("9600,M,8,2", "Invalid parity \"M\"");
        row("9600,N,9,2", "Invalid data bits \"9\"");
        row("9600,N,8,1.5", "Invalid stop bits \"1.5\"");
        row("9600,N,8", "Invalid port settings \"9600,N,8\" (expected <baud>,<parity>,<data bits>,<stop bits>)");
    }
    void parseSettings()
    {
        try {
            const PortSettings s = port_settings::parse(QString::fromLatin1(QTest::currentDataTag()));
            QTEST(QString::asprintf("%d %c %d %d", s.baud, s.parity, s.dataBits, s.stopBits), "outcome");
        } catch (const SerialError& error) {
            QTEST(QString::fromUtf8(error.what()), "outcome");
        }
    }

    void openFailureTexts_data()
    {
        QTest::addColumn<int>("accessErrno");  // 0: access granted, the port refused the open
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("membership");  // "user", "session": in the node's group since when
        QTest::addColumn<QString>("text");
        row("not in the group", EACCES, 0660, QString(),
            "Permission denied opening /dev/ttyUSB0: add your user to the dialout "
            "group (sudo usermod -aG dialout $USER), then log out and in again");
        row("joined, old session", EACCES, 0660, "user",
            "Permission denied opening /dev/ttyUSB0: your user is in the dialout group, "
            "but this session started before that; log out and in again");
        row("in the group, still refused", EACCES, 0660, "session",
            "Permission denied opening /dev/ttyUSB0 (owner root, group dialout, mode 0660)");
        row("held, holder unknown", 0, 0660, QString(), "Cannot open /dev/ttyUSB0: in use by another program");
    }
    void openFailureTexts()
    {
        QFETCH(int, accessErrno);
        QFETCH(int, mode);
        QFETCH(QString, membership);
        const serial_errors::NodeFacts facts{.accessErrno = accessErrno,
                                             .owner = QStringLiteral("root"),
                                             .group = QStringLiteral("dialout"),
                                             .mode = mode,
                                             .userInGroup = !membership.isEmpty(),
                                             .sessionInGroup = membership == "session"};
        QTEST(serial_errors::describeOpenFailure("/dev/ttyUSB0", QSerialPort::PermissionError, "x", facts), "text");
    }

    // The serial device table: USB serial numbers A1 (one adapter, two ports) and B2, and a port without one.
    // The settings file's port is COM2, and COM<mappedCom> is mapped to /dev/ttyUSB3.
    void resolvesPorts_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("mappedCom");  // 0: no mapping
        QTest::addColumn<QString>("answering");  // the probed paths that answer; "-": no free port to probe
        QTest::addColumn<QString>("outcome");  // "COM<n> <path opened>", or the error's text
        QTest::addColumn<int>("scans");  // times the table was read
        QTest::addColumn<int>("probeRounds");
        row("settings file", "", 0, "", "COM2 /dev/ttyS1", 0, 0);
        row("COM option", "COM4", 0, "", "COM4 /dev/ttyS3", 0, 0);
        row("path of a mapping", "/dev/ttyUSB3", 6, "", "COM6 /dev/ttyUSB3", 0, 0);
        row("ttyS path", "/dev/ttyS4", 0, "", "COM5 /dev/ttyS4", 0, 0);
        row("ttyS path, COM5 mapped elsewhere", "/dev/ttyS4", 5, "", "COM2 /dev/ttyS4", 0, 0);
        row("serial", "serial:B2", 0, "", "COM2 /dev/serial/by-id/b2", 1, 0);
        row("serial, none", "serial:C3", 0, "",
            "--port serial:C3: no connected serial port has the USB serial number C3; "
            "these do:\n  /dev/ttyUSB0: A1\n  /dev/ttyUSB1: A1\n  /dev/serial/by-id/b2: B2",
            1, 0);
        row("serial, two ports", "serial:A1", 0, "",
            "--port serial:A1: 2 ports have that serial number; choose one by its path\n  /dev/ttyUSB0\n  "
            "/dev/ttyUSB1",
            1, 0);
        row("auto", "auto", 0, "/dev/ttyS0", "COM1 /dev/ttyS0", 1, 1);
        row("auto, none", "auto", 0, "",
            "--port auto: no QZ4VELD answered\n  /dev/ttyUSB0: no answer\n  /dev/ttyS0: no answer", 1, 1);
        row("auto, nothing free", "auto", 0, "-", "--port auto: no QZ4VELD answered (no free serial port to probe)", 1,
            1);
        row("auto, two", "auto", 0, "/dev/ttyS0 /dev/ttyUSB0",
            "--port auto: 2 devices answered; choose one with --port\n  /dev/ttyUSB0: answered\n  /dev/ttyS0: "
            "answered",
            1, 1);
        row("auto-all", "auto-all", 0, "/dev/ttyS0 /dev/ttyUSB0", "COM2 /dev/ttyUSB0,COM1 /dev/ttyS0", 1, 1);
        row("auto-all, none", "auto-all", 0, "", "--port auto-all: no serial port has a device that answers", 1, 1);
        row("each once", "auto serial:B2 COM3", 0, "/dev/ttyUSB0",
            "COM2 /dev/ttyUSB0,COM2 /dev/serial/by-id/b2,COM3 /dev/ttyS2", 1, 1);
    }
    void resolvesPorts()
    {
        QFETCH(int, mappedCom);
        QFETCH(QString, answering);
        QList<PortRow> table(4);
        const QStringList devices{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyS0"},
                serials{"A1", "A1", "B2", ""};
        for (int i = 0; i < 4; ++i)
            std::tie(table[i].devicePath, table[i].serialNumber) = std::tuple(devices[i], serials[i]);
        table[2].stablePath = "/dev/serial/by-id/b2";
        table[1].inUse = table[2].inUse = true;
        int scans = 0, probeRounds = 0;
        QMap<int, QString> mapping;
        if (mappedCom > 0)
            mapping.insert(mappedCom, "/dev/ttyUSB3");
        PortResolver resolver(
                {2, mapping, "4800,E,8,2"},
                [&](const QMap<int, QString>&) {
                    ++scans;
                    return table;
                },
                [&](const QStringList& paths, const QString& settingsText) {
                    ++probeRounds;
                    QList<ProbeResult> probes;
                    for (const QString& path : paths)
                        probes.append(
                                {path, answering.contains(path), settingsText == "4800,E,8,2" ? "no answer" : ""});
                    return answering == "-" ? QList<ProbeResult>() : probes;
                });
        QFETCH(QString, port);
        for (int round = 0; round < 2; ++round) {  // the second round reads and probes nothing again
            try {
                QStringList chosen;
                for (const ChosenPort& choice : resolver.resolveAll(port.split(' ')))
                    chosen.append(QStringLiteral("COM%1 %2").arg(choice.comPort).arg(choice.devicePath()));
                QTEST(chosen.join(','), "outcome");
            } catch (const PortChoiceError& e) {
                QTEST(QString::fromUtf8(e.what()), "outcome");
            }
        }
        QTEST(scans, "scans");
        QTEST(probeRounds, "probeRounds");
    }

    void devicePathAndLinkRefusals()
    {
        const QMap<int, QString> mapping{{2, QStringLiteral("  ")}};
        QCOMPARE(PortResolver::comPath(2, mapping), QStringLiteral("/dev/ttyS1"));  // a blank mapping is none
        QVERIFY_THROWS_EXCEPTION(SerialError, PortResolver::comPath(0, mapping));
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("ttyNothing"));
        QtSerialLink link({{3, missing}});
        QVERIFY_THROWS_EXCEPTION(SerialError, link.open());  // not configured yet
        link.configure(3, QStringLiteral("4800,E,8,2"));
        QVERIFY_THROWS_EXCEPTION(SerialError, link.configure(3, QStringLiteral("9600,Q,8,2")));
        QCOMPARE(link.devicePath(), missing);  // the refused configuration changed nothing
        QCOMPARE(link.settings().baud, 4800);
        QCOMPARE(test_files::errorOf<SerialError>([&] { link.open(); }),
                 "COM3 is mapped to " + missing + " which is not connected; plug it in or choose another device");
        QVERIFY(!link.isOpen());
        QVERIFY_THROWS_EXCEPTION(SerialError, link.write(QByteArrayLiteral("z")));
        QVERIFY_THROWS_EXCEPTION(SerialError, link.bytesAvailable());
        QVERIFY_THROWS_EXCEPTION(SerialError, link.readAll());
    }

    // Lock files go by name: the same terminal through a link is refused while one link holds it.
    void oneOpenerPerDevice()
    {
        DeviceModel device;
        PtyServer server(device);
        const QString terminal = server.open();
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(terminal, link));
        QtSerialLink first({{1, terminal}}), second({{1, link}});
        first.configure(1, QStringLiteral("9600,N,8,2"));
        second.configure(1, QStringLiteral("9600,N,8,2"));
        first.open();
        const QString refused = test_files::errorOf<SerialError>([&] { second.open(); });
        QVERIFY2(refused.startsWith("Cannot open " + link + ": in use by another program"), qPrintable(refused));
        first.close();
        second.open();
        QVERIFY(second.isOpen());
    }

    void waiterHandlesEventsAndAborts()
    {
        EventLoopWaiter waiter;
        bool fired = false;
        QTimer::singleShot(0, [&] { fired = true; });
        waiter.processEvents();
        QVERIFY(fired);
        // A wait for a condition ends when it holds.
        bool ready = false;
        QTimer::singleShot(20, [&] { ready = true; });
        const int waited = waiter.delayUntil(2000, [&] { return ready; });
        QVERIFY2(waited >= 20 && waited < 2000, qPrintable(QString::number(waited)));
        QCOMPARE(waiter.delayUntil(50, [] { return true; }), 0);
        // A link that fails while the loop asks (an unplug) fails the wait, not the event loop.
        int asked = 0;
        const auto failing = [&asked] { return ++asked > 1 ? throw std::logic_error("unplugged") : false; };
        QVERIFY_THROWS_EXCEPTION(std::logic_error, waiter.delayUntil(2000, failing));
        // Without the abort this wait would outlast the test's time limit; the abort holds for every later wait.
        QTimer::singleShot(10, [&] { waiter.requestAbort(); });
        QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.delay(3600 * 1000));
        QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.delay(1));
        QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.processEvents());
    }

    // Every wait lasts at least what was asked, however short or busy: the
    // device's timing depends on it. How much later it ends is bench/timing.sh's.
    void waitsNeverEndEarly()
    {
        EventLoopWaiter waiter;
        QTimer busy;  // events to handle during every wait
        QObject::connect(&busy, &QTimer::timeout, [] { QThread::usleep(300); });
        busy.start(1);
        for (const int ms : {0, 1, 2, 3, 5, 10, 25, 100}) {
            for (int run = 0; run < 5; ++run) {
                QElapsedTimer clock;
                clock.start();
                waiter.delay(ms);
                QVERIFY2(clock.nsecsElapsed() >= ms * 1000000LL, qPrintable(QStringLiteral("delay(%1)").arg(ms)));
                // Counted from an earlier moment, with work done since, it still ends no sooner after that moment.
                const std::int64_t from = waiter.markUs();
                QThread::usleep(static_cast<unsigned long>(run * 1000));
                waiter.delayFrom(from, ms);
                QVERIFY2(waiter.markUs() - from >= ms * 1000LL,
                         qPrintable(QStringLiteral("delayFrom(%1) after %2 ms").arg(ms).arg(run)));
            }
        }
    }

    void simulatedCommands_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("answers");
        row("presence, version, default length", QByteArray("zV/L?"), QByteArray("\350|QZ4VELD V2.10|6|"));
        row("set length 10 then query", QByteArray("/L:/L?"), QByteArray("\006|:|"));
        row("fresh slot", QByteArray("/R\0", 3), QByteArray("\377\0\0\0\0\0\0|", 8));
        row("write then read row 0", QByteArray("/L2/W\0\034ab/R\0", 12), QByteArray("\006|\006\0|\034ab|", 9));
        row("bad commands", QByteArray("/L0/X\r"), QByteArray("CMDERR|CMDERR|CMDERR|"));
        row("row beyond capacity", QByteArray("/L:/R\x17"), QByteArray("\006|CMDERR|"));
        row("refused block is consumed whole", QByteArray("/L1/W\x5D\034az"), QByteArray("\006|CMDERR|\350|"));
    }
    void simulatedCommands()
    {
        QFETCH(QByteArray, input);
        QTEST(joined(DeviceModel().receive(input)), "answers");
    }

    // Saving and loading a good state are the end-to-end tests'.
    void simulatedStateRefusals()
    {
        DeviceModel device;
        device.setStringLength(4);
        QByteArray badLength = device.saveState();
        badLength[5] = 11;
        for (const QByteArray& bad : {QByteArray(), device.saveState().chopped(1), badLength})
            QVERIFY_THROWS_EXCEPTION(DeviceError, device.loadState(bad));
        QCOMPARE(device.stringLength(), 4);  // a refused state changes nothing
        QVERIFY_THROWS_EXCEPTION(DeviceError, device.slot(93));
        QVERIFY_THROWS_EXCEPTION(DeviceError, device.setStringLength(11));
    }
};

QTEST_GUILESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
