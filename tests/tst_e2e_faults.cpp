// Version, Read, Verify and Send over the real serial link and event-loop waiter against qz4veld-sim on a
// pseudo-terminal, the simulator misbehaving: every cell must end on its own, say what happened in the
// operator's words, never call a failure a success, and never lose the operator's table.
#include "model/key_table.h"
#include "model/notation.h"
#include "operations/read_operation.h"
#include "operations/send_operation.h"
#include "operations/verify_operation.h"
#include "operations/version_operation.h"
#include "sim/lib/device_model.h"
#include "support/file_helpers.h"
#include "support/sim_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <array>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Op { Version, Read, Verify, Send };
// Open normally, refused to the user by the device node, or held open by another process.
enum class Access { Open, Denied, Held };
// Kept: the table as before the run; Device: the device's table (a Read that went
// through), but row `emptyRow` empty; DevicePrefix: the device's first
// `prefixRows` rows, the rest empty.
enum class TableAfter { Kept, Device, DevicePrefix };

struct Scenario final {
    Op op = Op::Version;
    QStringList simArgs{};
    bool succeeds = false;
    QString completion{};  // the completion label, "" = not shown
    QString message{};  // the one message box ("%1" = device path), "" = none
    QString line{};  // a status line that must be there ("%1" = device path), "" = none
    Access access = Access::Open;
    TableAfter table = TableAfter::Kept;
    int prefixRows = 0, emptyRow = -1;
    int deviceLength = 10;  // the string length the device's memory starts with
    // Succeeds (or fails the fault's row alone) on time, but a loaded machine may hold bytes past the
    // extension: then an honest failure passes too, judged by the device's memory alone.
    bool timingBound = false;
};

// A single problem starting with this: this machine cannot set the scenario up (root without "nobody").
constexpr char kCannotArrange[] = "cannot arrange: ";

constexpr int kLength = 10;
constexpr int kRows = 23;  // capacity at string length 10
constexpr uid_t kNobody = 65534;

// Device and screen hold different tables, so that a Read that replaced the
// screen's table can be told from one that kept it. The last row has no key:
// the device stores scan code 0xFF and Read leaves it empty.
RowTable table(const QStringList& strings)
{
    RowTable rows;
    for (int r = 0; r < kRows - 1; ++r) {
        rows.keyNames.at(r) = key_table::records().at(static_cast<std::size_t>(r) * 4).keyName;
        rows.strings.at(r) = strings.at(r % strings.size());
    }
    return rows;
}
const RowTable kDevice = table({"abcdefghij", "{0D}", "a b", "{7B}x", "~}|", "{FF}{01}", "", "Z"});
const RowTable kScreen = table({"xyz", "{1B}[A", "", "hello", "{09}{0A}", "q"});

// Row r of `rows` as Send writes it at string length `length`: scan code and slot bytes.
QByteArray slotBytes(const RowTable& rows, int r, int length)
{
    const QString& key = rows.keyNames.at(r);
    const int scancode = key.isEmpty() ? 0xFF : key_table::scancodeForKeyName(key);
    return QByteArray(1, static_cast<char>(scancode)) + notation::toDeviceBytes(rows.strings.at(r), length).value();
}

// The device's memory when the cell starts: the device's table at the cell's string length.
DeviceModel initialMemory(const Scenario& s)
{
    DeviceModel device;
    device.setStringLength(s.deviceLength);
    for (int r = 0; r < kRows; ++r) {
        const QByteArray slot = slotBytes(kDevice, r, kLength);
        device.setSlot(r, static_cast<std::uint8_t>(slot.at(0)), slot.mid(1));
    }
    return device;
}

// Judged by the device's memory as the simulator left it, not by what the run said: Read, Verify and the version
// query leave it as it was; every row a Read took in, Verify passed or Send read back is in the device byte for
// byte; a Send that stopped wrote what its sentence about the device says. "" when all that holds.
QString memoryProblem(const Scenario& s, const fakedev::RealRig& rig, const DeviceModel& before,
                      const DeviceModel& after, bool succeeded)
{
    if (s.op != Op::Send && after.saveState() != before.saveState())
        return QStringLiteral("the device's memory changed");
    const int length = after.stringLength(), last = after.capacity() - 1;
    // Rows from..to hold the screen's rows as Send writes them (written) or what they held before.
    const auto differs = [&](int from, int to, bool written) {
        for (int r = from; r <= std::min(to, last); ++r) {
            const bool same = rig.view.lengthIndex + 1 == length
                    && after.slotAnswer(r) == (written ? slotBytes(rig.rows, r, length) : before.slotAnswer(r));
            if (!same)
                return QStringLiteral("row %1 is not what the run says the device holds").arg(r);
        }
        return QString();
    };
    const QString& completion = rig.status.completionShown ? rig.status.completion : QString();
    const bool wentThrough = succeeded || completion.endsWith(QLatin1String("rows not read"))
            || completion.endsWith(QLatin1String("FAILED blocks"));
    for (int r = 0; r < std::min(last + 1, DeviceModel::capacityFor(rig.view.lengthIndex + 1)); ++r) {
        const bool confirmed = s.op == Op::Read ? wentThrough && !rig.rows.pictureShown.at(r)  // no question mark
                : s.op == Op::Verify
                ? rig.rows.verified.at(r)
                : s.op == Op::Send && wentThrough && (succeeded || rig.rows.pictures.at(r) == StatusPicture::CheckMark);
        if (confirmed && !differs(r, r, true).isEmpty())
            return differs(r, r, true);
    }
    if (s.op != Op::Send || wentThrough)
        return {};
    const QStringList said = rig.status.lines.filter(QRegularExpression("^The device (now|may) hold"));
    if (said.isEmpty())
        return differs(0, last, false);
    static const QRegularExpression parts("rows 0 to (\\d+) written|rows after (\\d+) not written|no rows written");
    QString problem;
    for (auto it = parts.globalMatch(said.constLast()); it.hasNext() && problem.isEmpty();) {
        const QRegularExpressionMatch m = it.next();
        problem = !m.captured(1).isEmpty() ? differs(0, m.captured(1).toInt(), true)
                : !m.captured(2).isEmpty() ? differs(m.captured(2).toInt() + 1, last, false)
                                           : differs(0, last, false);
    }
    return problem;
}

template <class Operation>
bool succeeds(OperationContext& context)
{
    // A stop by the watchdog comes back from Version as Aborted, not as OperationAborted.
    return Operation(context).run() == Operation::Outcome::Succeeded;
}
constexpr std::array kRuns{succeeds<VersionOperation>, succeeds<ReadOperation>, succeeds<VerifyOperation>,
                           succeeds<SendOperation>};

QString tableProblem(const Scenario& s, const RowTable& before, const RowTable& after)
{
    for (int r = 0; r < RowTable::kRows; ++r) {
        const bool fromDevice =
                s.table == TableAfter::Device || (s.table == TableAfter::DevicePrefix && r < s.prefixRows);
        const RowTable& source = fromDevice ? kDevice : before;
        const bool cleared = (!fromDevice && s.table == TableAfter::DevicePrefix) || r == s.emptyRow;
        const QString key = cleared ? QString() : source.keyNames.at(r);
        const QString string = cleared ? QString() : source.strings.at(r);
        // Read writes bytes back in the screen's notation: compare item by item.
        if (after.keyNames.at(r) != key
            || notation::comparisonForm(after.strings.at(r)) != notation::comparisonForm(string))
            return QStringLiteral("row %1 holds \"%2\" \"%3\" instead of \"%4\" \"%5\"")
                    .arg(QString::number(r), after.keyNames.at(r), after.strings.at(r), key, string);
    }
    return {};
}

// Runs one scenario against a fresh simulator and returns what did not hold (empty =
// pass). Still waiting after limitMs counts as hung.
QStringList run(const Scenario& s, int limitMs)
{
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("device.state"));
    const DeviceModel before = initialMemory(s);
    if (!test_files::writeAll(state, before.saveState()))
        return {QStringLiteral("cannot write the simulator's state file")};
    fakedev::SimProcess sim(QStringList{"--state", state, "--version", "QZ4VELD V2.10 (2024-05-01)"} + s.simArgs);
    if (!sim.started())
        return {QStringLiteral("the simulator did not start: ") + sim.errors()};
    const QString path = sim.path();
    fakedev::RealRig rig(path);
    // The program is set to the bit rate at which the simulator paces its line.
    if (const qsizetype baud = s.simArgs.indexOf(QStringLiteral("--baud")); baud >= 0)
        rig.link.configure(1, s.simArgs.value(baud + 1) + QStringLiteral(",N,8,2"));
    // Verify compares against what the device holds; the others start from the operator's own table.
    rig.rows = s.op == Op::Verify ? kDevice : kScreen;
    rig.view.lengthIndex = s.op == Op::Read ? 5 : kLength - 1;
    const RowTable tableBefore = rig.rows;

    // Another process holding the port through QSerialPort (and so its lock file).
    QProcess holder;
    qint64 holderPid = 0;
    if (s.access == Access::Held) {
        holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-port"), path});
        holderPid = holder.processId();
        holder.waitForReadyRead(10000);
        if (holder.readLine().trimmed() != "held")
            return {QStringLiteral("the second process could not open %1").arg(path)};
    }
    // Root passes every permission check: it becomes "nobody" for the run, keeping
    // root as its saved user id to come back to; anyone else is refused by the mode alone.
    bool switched = false;
    if (s.access == Access::Denied) {
        if (::chmod(QFile::encodeName(path).constData(), 0) != 0)
            return {QStringLiteral("cannot take the permissions of %1 away").arg(path)};
        switched = ::geteuid() == 0 && ::setresuid(kNobody, kNobody, 0) == 0;
        if (!switched && ::geteuid() == 0)
            return {QLatin1String(kCannotArrange) + QStringLiteral("no user that %1 refuses is available").arg(path)};
    }

    QStringList problems;
    bool hung = false;
    QTimer watchdog;
    watchdog.callOnTimeout([&] {
        hung = true;
        rig.waiter.requestAbort();
    });
    watchdog.start(limitMs);
    bool succeeded = false;
    try {
        succeeded = kRuns.at(static_cast<std::size_t>(s.op))(rig.context);
    } catch (const OperationAborted&) {  // the watchdog's stop: `hung` is set
    } catch (const std::exception& error) {
        problems << QStringLiteral("an error escaped the operation: ") + QString::fromLocal8Bit(error.what());
    }
    watchdog.stop();
    if (switched && ::setresuid(0, 0, 0) != 0)
        std::abort();  // the rest of the run would be under the wrong user
    holder.closeWriteChannel();  // the holder lets go; one still running is killed with `holder`
    holder.waitForFinished(5000);

    const auto expect = [&](const char* what, const QString& got, const QString& wanted) {
        if (got != wanted)
            problems << QStringLiteral("%1 \"%2\" instead of \"%3\"").arg(what, got, wanted);
    };
    // %1 the device, %O and %G its owner and group, %P the process holding it.
    const auto withPath = [&](QString text) {
        const QFileInfo node(path);
        return text.replace(QLatin1String("%1"), path)
                .replace(QLatin1String("%O"), node.owner())
                .replace(QLatin1String("%G"), node.group())
                .replace(QLatin1String("%P"), QString::number(holderPid));
    };
    expect("run", hung ? "still running" : "ended", "ended");
    expect("controls", rig.view.controlsEnabled ? "enabled" : "disabled", "enabled");
    expect("port after the run", succeeded && rig.link.isOpen() ? "open" : "closed", "closed");
    // More failures of the kind expected than the fault alone causes, the fault's row among them.
    const auto count = [](const QString& completion) { return completion.section(' ', 1, 1).toInt(); };
    const bool moreFailed = s.timingBound && !s.succeeds && rig.status.completion.endsWith(s.completion.section(' ', 2))
            && count(rig.status.completion) > count(s.completion)
            && rig.rows.pictures.at(s.simArgs.value(1).toInt()) != StatusPicture::CheckMark;
    if (s.timingBound && !succeeded && (s.succeeds || moreFailed)) {
        qInfo("late on this machine: %s", qPrintable(rig.status.completion));
    } else {
        expect("outcome", succeeded ? "success" : "failure", s.succeeds ? "success" : "failure");
        expect("completion", rig.status.completionShown ? rig.status.completion : QString(), s.completion);
        expect("messages", rig.messages.infos.join(" | "), withPath(s.message));
        if (!s.line.isEmpty() && !rig.status.lines.contains(withPath(s.line)))
            problems << QStringLiteral("no status line \"%1\" in [%2]")
                                .arg(withPath(s.line), rig.status.lines.join(" | "));
        if (const QString rowsProblem = tableProblem(s, tableBefore, rig.rows); !rowsProblem.isEmpty())
            problems << rowsProblem;
    }
    rig.link.close();
    sim.stop();  // the simulator writes its memory as it ends
    DeviceModel after;
    try {
        after.loadState(test_files::readAll(state));  // a file that cannot be read is empty: not a state
        if (const QString problem = memoryProblem(s, rig, before, after, succeeded); !problem.isEmpty())
            problems << QStringLiteral("by the device's memory: ") + problem;
    } catch (const DeviceError& error) {
        problems << QStringLiteral("the simulator's state file %1").arg(QString::fromLocal8Bit(error.what()));
    }
    return problems;
}

// `<test> --hold-port <path>`, the other process of Access::Held: opens the port, prints "held", keeps it
// until stdin closes.
int holdPort(const char* path)
{
    QSerialPort port(QString::fromLocal8Bit(path));
    if (!port.open(QIODevice::ReadWrite)) {
        std::printf("failed: %s\n", qPrintable(port.errorString()));
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) { }
    return 0;
}

constexpr int kLimitMs = 30000;  // the longest cell needs about 5 s

const QString kAbsent = QStringLiteral("QZ4VELDT not responsing on port COM1");
const QString kWrong = QStringLiteral("Not a QZ4VELDT that is connected (received 0x%1)");
const QString kAttachError = QStringLiteral("Error checking for QZ4VELD attachment- ");
const QString kGone = QStringLiteral("device %1 was disconnected");
const QString kRestarted =
        QStringLiteral("the device restarted in the middle of the run (it sent its presence mark E8 unasked)");
// What a Send stopped by the line dropping after 1, 2 or 3 exchanges says the device holds.
const QString kHolds[] = {
        "The device may hold an incomplete table: the string length went out, no rows written. Send again.",
        "The device now holds an incomplete table: row 0 may be written, the rows after 0 not written. Send again.",
        "The device now holds an incomplete table: rows 0 to 0 written, the rows after 0 not written. Send again."};

// What each operation shows: completion when the presence check fails, when a later
// error ends it (with the message's prefix), when the first exchange after the
// presence check gets no good answer (with its status line), and on success.
struct Texts final {
    const char* name;
    int firstWaitMs;  // the first fixed wait after the presence check (at 9600 baud)
    QList<int> unplugs;  // the line drops after this many exchanges
    QString notAttached, failed, errorPrefix, firstFails, firstFailsLine, done, doneLine;
};
const Texts kTexts[] = {
        {"version", 25, QList<int>{1}, "FAILED OPERATION", "FAILED OPERATION", "Error getting code version. ",
         "FAILED OPERATION", "Version = ???", "Operation Successful", "Version = QZ4VELD V2.10 (2024-05-01)"},
        {"read", 100, QList<int>{1, 4}, "FAILED READ", "Failed Read", "Error retrieve current key overrides - ",
         "FAILED READ", "", "Successful Read", ""},
        {"verify", 100, QList<int>{1, 4}, "", "", "Error verifying values. ", "", "", "Successful Verification", ""},
        {"send", 50, QList<int>{1, 2, 3}, "", "FATAL ERROR", "Error sending to QZ4VELD. ", "FAILED OPERATION",
         "FAILED to set string length to :", "Successful Operation", "success  blk# 16"},
};

}  // namespace

Q_DECLARE_METATYPE(Scenario)

class E2eFaultsTest final : public QObject {
    Q_OBJECT

    QElapsedTimer m_clock;
    int m_scenarios = 0, m_passed = 0, m_skipped = 0;

private slots:
    void matrix_data()
    {
        m_clock.start();
        QTest::addColumn<Scenario>("scenario");
        for (const Op op : {Op::Version, Op::Read, Op::Verify, Op::Send}) {
            const Texts& t = kTexts[static_cast<int>(op)];
            const auto add = [&](const QString& fault, const QStringList& simArgs, Scenario s) {
                s.op = op;
                s.simArgs = simArgs;
                QTest::addRow("%s %s", t.name, qPrintable(fault)) << s;
            };
            // No group would help with a terminal of mode 000: the message only describes it.
            const QString denied = kAttachError + "Permission denied opening %1 (owner %O, group %G, mode 0000)";
            const QString held = kAttachError + "Cannot open %1: in use by another program (tst_e2e_faults, pid %P)";
            add("absent", {"--absent"}, {.completion = t.notAttached, .line = kAbsent});
            add("wrong presence byte", {"--presence-byte", "41"},
                {.completion = t.notAttached, .line = kWrong.arg("41")});
            add("garbage after", {"--garbage-after"}, {.completion = t.notAttached, .line = kWrong.arg("7E")});
            add("denied", {},
                {.completion = t.notAttached, .message = denied, .line = kAbsent, .access = Access::Denied});
            add("held", {}, {.completion = t.notAttached, .message = held, .line = kAbsent, .access = Access::Held});
            add("unplug 0", {"--unplug-after", "0"},
                {.completion = t.notAttached, .message = kAttachError + kGone, .line = kAbsent});
            // During the presence answer, the rows of Read and Verify, a block and its read-back for Send.
            for (const int after : t.unplugs) {
                const bool cut = op == Op::Read && after == 4;  // rows 0 and 1 were read; nothing is rolled back
                const QString holds = op == Op::Send ? kHolds[after - 1] : QString();
                add(QStringLiteral("unplug %1").arg(after), {"--unplug-after", QString::number(after)},
                    {.completion = t.failed,
                     .message = t.errorPrefix + kGone + (holds.isEmpty() ? "" : "\n" + holds),
                     .line = holds,
                     .table = cut ? TableAfter::DevicePrefix : TableAfter::Kept,
                     .prefixRows = 2});
            }
            // Rows answered badly: Read leaves them empty and counts them, Verify and Send count them as failed.
            const bool readsRows = op == Op::Read || op == Op::Verify;
            const auto bad = [&](int count, int row = -1, int deviceLength = kLength) {
                const char* what = op == Op::Read ? "rows not read"
                        : op == Op::Send          ? "FAILED blocks"
                                                  : "FAILED verifications";
                return Scenario{.completion = QStringLiteral(" %1 %2").arg(count).arg(what),
                                .table = op != Op::Read ? TableAfter::Kept
                                        : row < 0       ? TableAfter::DevicePrefix
                                                        : TableAfter::Device,
                                .emptyRow = op == Op::Read ? row : -1,
                                .deviceLength = deviceLength,
                                // Each block's write makes the simulator store its memory, which a busy disk delays.
                                .timingBound = op == Op::Send && row >= 0};
            };
            for (const auto& [fault, option, verifyAndSendToo] :
                 {std::tuple("silent row", "--silent-row", true), std::tuple("refused row", "--refuse-row", false),
                  std::tuple("over-long row", "--long-row", false),
                  std::tuple("stray byte after the filling", "--stray-fill-row", true)}) {
                if (op == Op::Read || (op != Op::Version && verifyAndSendToo))
                    add(fault, {option, "4"}, bad(1, 4));
            }
            // Stray bytes ahead of each answer: the version text is free form; the length answer
            // and its acknowledgement are not.
            add("garbage before", {"--garbage"},
                op == Op::Version ? Scenario{.succeeds = true,
                                             .completion = t.done,
                                             .line = "Version = ~#QZ4VELD V2.10 (2024-05-01)"}
                                  : Scenario{.completion = t.firstFails,
                                             .message = readsRows ? "Invalid string configuration in QZ4 ..~" : "",
                                             .line = t.firstFailsLine});
            // Answers one byte at a time arrive within the waits: everything works.
            const Scenario works{.succeeds = true,
                                 .completion = t.done,
                                 .line = t.doneLine,
                                 .table = op == Op::Read ? TableAfter::Device : TableAfter::Kept,
                                 .timingBound = true};
            add("chunked", {"--chunked"}, works);
            // Answers later than each wait: just past it, they are still their own command's; beyond the
            // extension (twice the wait), the first exchange after the presence check goes without.
            add("late answers", {"--latency", QString::number(t.firstWaitMs * 6 / 5)}, works);
            const QString noLength = t.errorPrefix + "the device sent no answer to the string length query";
            add("answers beyond the extension", {"--latency", QString::number(t.firstWaitMs * 4)},
                readsRows
                        ? Scenario{.completion = t.failed, .message = noLength}
                        : Scenario{.completion = t.firstFails, .line = op == Op::Send ? kHolds[0] : t.firstFailsLine});
            // A slow line, and an adapter that hands bytes over every 16 ms: everything works, only slower.
            add("2400 baud", {"--baud", "2400"}, works);
            add("bursts of 16 ms", {"--burst", "16", "--baud", "9600"}, works);
            if (readsRows) {  // no answer is a whole slot when the device reports another length than it holds
                add("reports length 10, holds 6", {"--report-length", "10"}, bad(23, -1, 6));
                add("reports length 6, holds 10", {"--report-length", "6"}, bad(36));
            }
            // The device restarts, losing a command: rows 0 to 2 read, or rows 0 and 1 written and row 2 sent.
            const QString holds =
                    "The device now holds an incomplete table: rows 0 to 1 written, row 2 may be written, "
                    "the rows after 2 not written. Send again.";
            if (op != Op::Version)
                add("restarts", {"--restart-after", op == Op::Send ? "6" : "5"},
                    {.completion = t.failed,
                     .message = t.errorPrefix + kRestarted + (op == Op::Send ? "\n" + holds : ""),
                     .line = op == Op::Send ? holds : "",
                     .table = op == Op::Read ? TableAfter::DevicePrefix : TableAfter::Kept,
                     .prefixRows = 3});
            if (op == Op::Send) {
                add("length acknowledge late", {"--length-ack-latency", "60"}, works);
                add("length acknowledge beyond the extension", {"--length-ack-latency", "200"},
                    {.completion = t.firstFails, .line = kHolds[0]});
            }
        }
    }

    void matrix()
    {
        QFETCH(Scenario, scenario);
        ++m_scenarios;
        const QStringList problems = run(scenario, kLimitMs);
        if (problems.size() == 1 && problems.constFirst().startsWith(QLatin1String(kCannotArrange))) {
            ++m_skipped;
            QSKIP(qPrintable(problems.constFirst()));
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
        ++m_passed;
    }

    void cleanupTestCase()
    {
        std::printf("%d scenarios, %d passed\nmatrix time %.1f s, %d could not be arranged here\n", m_scenarios,
                    m_passed, m_clock.elapsed() / 1000.0, m_skipped);
        std::fflush(stdout);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--hold-port") == 0)
        return holdPort(argv[2]);
    E2eFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_faults.moc"
