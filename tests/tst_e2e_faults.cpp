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
    int prefixRows = 0;
    int emptyRow = -1;
    int baud = 9600;  // the program's setting (the simulator paces its line with --baud)
    int deviceLength = 10;  // the string length the device's memory starts with
    int junkRow = -1;  // this slot holds a byte after its string's 0x00 filling
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

// The device's memory when the cell starts: the device's table, at the cell's
// string length, with a stray byte in one slot's filling when the cell asks.
DeviceModel initialMemory(const Scenario& s)
{
    DeviceModel device;
    device.setStringLength(s.deviceLength);
    for (int r = 0; r < kRows; ++r) {
        const QString& key = kDevice.keyNames.at(r);
        const int scancode = key.isEmpty() ? 0xFF : key_table::scancodeForKeyName(key);
        QByteArray bytes = notation::toDeviceBytes(kDevice.strings.at(r), kLength).value();
        if (r == s.junkRow)
            bytes[kLength - 1] = 'A';
        device.setSlot(r, static_cast<std::uint8_t>(scancode), bytes);
    }
    return device;
}

// What Send writes for row r of `rows` at string length `length`: scan code and slot bytes.
QByteArray sentSlot(const RowTable& rows, int r, int length)
{
    const QString& key = rows.keyNames.at(r);
    const int scancode = key.isEmpty() ? 0xFF : key_table::scancodeForKeyName(key);
    return QByteArray(1, static_cast<char>(scancode)) + notation::toDeviceBytes(rows.strings.at(r), length).value();
}

// Judged by the device's memory as the simulator left it, not by what the run
// said: Read and Verify and the version query leave it as it was; every row a Read
// took in is the device's; every row Verify passed is in the device byte for
// byte; a Send that succeeded wrote the screen's table, and a Send that stopped
// wrote exactly what its sentence about the device says. "" when all that holds.
QString memoryProblem(const Scenario& s, const fakedev::RealRig& rig, const DeviceModel& before,
                      const DeviceModel& after, bool succeeded)
{
    const int length = after.stringLength();
    const auto row = [](int r) { return QStringLiteral("row %1").arg(r); };
    if (s.op != Op::Send) {
        if (after.saveState() != before.saveState())
            return QStringLiteral("the device's memory changed");
    }
    if (s.op == Op::Read && rig.status.completionShown
        && (succeeded || rig.status.completion.endsWith(QLatin1String("rows not read")))) {
        for (int r = 0; r < DeviceModel::capacityFor(rig.view.lengthIndex + 1); ++r) {
            const bool notRead = rig.rows.pictureShown.at(r);  // Read shows only the question marks of those
            const QByteArray slot = after.slotAnswer(r);
            const QString key = r < after.capacity()
                    ? key_table::keyNameForScancode(static_cast<std::uint8_t>(slot.at(0)))
                    : QString();
            const QString string = key.isEmpty() ? QString() : notation::fromDeviceBytes(slot.mid(1));
            if (notRead ? !(rig.rows.keyNames.at(r) + rig.rows.strings.at(r)).isEmpty()
                        : rig.rows.keyNames.at(r) != key || rig.rows.strings.at(r) != string)
                return row(r) + QStringLiteral(" is not what the device holds");
        }
        if (succeeded && rig.view.lengthIndex + 1 != length)
            return QStringLiteral("a successful Read took another string length");
    }
    if (s.op == Op::Verify) {
        for (int r = 0; r < after.capacity(); ++r) {
            if (rig.rows.verified.at(r)
                && (rig.view.lengthIndex + 1 != length || after.slotAnswer(r) != sentSlot(rig.rows, r, length)))
                return row(r) + QStringLiteral(" passed Verify but the device holds something else");
        }
    }
    if (s.op != Op::Send)
        return {};
    // Rows `from` to `to` hold the screen's (written) or what they held before (not written).
    const auto check = [&](int from, int to, bool written) -> QString {
        for (int r = from; r <= to && r < after.capacity(); ++r) {
            const QByteArray wanted = written ? sentSlot(kScreen, r, length) : before.slotAnswer(r);
            if (after.slotAnswer(r) != wanted)
                return row(r) + (written ? QStringLiteral(" was not written") : QStringLiteral(" was changed"));
        }
        return {};
    };
    const int last = after.capacity() - 1;
    if (succeeded)
        return length == kLength ? check(0, last, true) : QStringLiteral("the device took another length");
    if (rig.status.completion.endsWith(QLatin1String("FAILED blocks"))) {
        // A Send that went through every row: each row it marked as read back is in the device.
        for (int r = 0; r <= last; ++r) {
            if (rig.rows.pictures.at(r) == StatusPicture::CheckMark)
                if (const QString problem = check(r, r, true); !problem.isEmpty())
                    return problem;
        }
        return {};
    }
    const QStringList said = rig.status.lines.filter(QRegularExpression("^The device (now|may) hold"));
    if (said.isEmpty())
        return check(0, last, false);
    static const QRegularExpression parts(
            "rows 0 to (\\d+) written|row (\\d+) may be written|rows after (\\d+) not written|no rows written");
    QString problem;
    for (auto it = parts.globalMatch(said.constLast()); it.hasNext() && problem.isEmpty();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty())
            problem = check(0, m.captured(1).toInt(), true);
        else if (!m.captured(3).isEmpty())
            problem = check(m.captured(3).toInt() + 1, last, false);
        else if (m.captured(2).isEmpty())
            problem = check(0, last, false);
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
    QFile stateFile(state);
    if (!stateFile.open(QIODevice::WriteOnly) || stateFile.write(before.saveState()) < 0 || !stateFile.flush())
        return {QStringLiteral("cannot write the simulator's state file")};
    fakedev::SimProcess sim(QStringList{"--state", state, "--version", "V2.10"} + s.simArgs);
    if (!sim.started())
        return {QStringLiteral("the simulator did not start: ") + sim.errors()};
    const QString path = sim.path();
    fakedev::RealRig rig(path, s.baud);
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
    expect("outcome", succeeded ? "success" : "failure", s.succeeds ? "success" : "failure");
    expect("completion", rig.status.completionShown ? rig.status.completion : QString(), s.completion);
    expect("messages", rig.messages.infos.join(" | "), withPath(s.message));
    expect("controls", rig.view.controlsEnabled ? "enabled" : "disabled", "enabled");
    expect("port after the run", succeeded && rig.link.isOpen() ? "open" : "closed", "closed");
    if (!s.line.isEmpty() && !rig.status.lines.contains(withPath(s.line)))
        problems << QStringLiteral("no status line \"%1\" in [%2]").arg(withPath(s.line), rig.status.lines.join(" | "));
    if (const QString rowsProblem = tableProblem(s, tableBefore, rig.rows); !rowsProblem.isEmpty())
        problems << rowsProblem;
    rig.link.close();
    sim.stop();  // the simulator writes its memory as it ends
    DeviceModel after;
    QFile memory(state);
    try {
        if (!memory.open(QIODevice::ReadOnly))
            throw DeviceError("cannot be read");
        after.loadState(memory.readAll());
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
    if (!port.open(QIODevice::ReadWrite))
        return std::printf("failed: %s\n", qPrintable(port.errorString())), 1;
    std::puts("held"), std::fflush(stdout);
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
         "FAILED OPERATION", "Version = ???", "Operation Successful", "Version = V2.10"},
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
            const QString denied = "Permission denied opening %1 (owner %O, group %G, mode 0000)";
            const QString held = "Cannot open %1: in use by another program (tst_e2e_faults, pid %P)";
            add("absent", {"--absent"}, {.completion = t.notAttached, .line = kAbsent});
            add("wrong presence byte", {"--presence-byte", "41"},
                {.completion = t.notAttached, .line = kWrong.arg("41")});
            add("garbage after", {"--garbage-after"}, {.completion = t.notAttached, .line = kWrong.arg("7E")});
            add("denied", {},
                {.completion = t.notAttached,
                 .message = kAttachError + denied,
                 .line = kAbsent,
                 .access = Access::Denied});
            add("held", {},
                {.completion = t.notAttached, .message = kAttachError + held, .line = kAbsent, .access = Access::Held});
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
            // One row answered badly: Read leaves it empty and says so; the others count it as failed.
            for (const auto& [fault, option] :
                 {std::pair("silent row", "--silent-row"), std::pair("refused row", "--refuse-row"),
                  std::pair("over-long row", "--long-row")}) {
                if (op == Op::Read)
                    add(fault, {option, "4"},
                        {.completion = " 1 rows not read", .table = TableAfter::Device, .emptyRow = 4});
                else if (op != Op::Version && option == QLatin1String("--silent-row"))
                    add(fault, {option, "4"},
                        {.completion = op == Op::Send ? " 1 FAILED blocks" : " 1 FAILED verifications"});
            }
            // Stray bytes ahead of each answer: the version text is free form; the length answer
            // and its acknowledgement are not.
            const bool readsRows = op == Op::Read || op == Op::Verify;
            add("garbage before", {"--garbage"},
                op == Op::Version ? Scenario{.succeeds = true, .completion = t.done, .line = "Version = ~#V2.10"}
                                  : Scenario{.completion = t.firstFails,
                                             .message = readsRows ? "Invalid string configuration in QZ4 ..~" : "",
                                             .line = t.firstFailsLine});
            // Answers one byte at a time arrive within the waits: everything works.
            add("chunked", {"--chunked"},
                {.succeeds = true,
                 .completion = t.done,
                 .line = t.doneLine,
                 .table = op == Op::Read ? TableAfter::Device : TableAfter::Kept});
            // Answers later than each wait: just past it, they are still their own command's; beyond the
            // extension (twice the wait), the first exchange after the presence check goes without.
            const Scenario works{.succeeds = true,
                                 .completion = t.done,
                                 .line = t.doneLine,
                                 .table = op == Op::Read ? TableAfter::Device : TableAfter::Kept};
            add("late answers", {"--latency", QString::number(t.firstWaitMs * 6 / 5)}, works);
            const QString noLength = t.errorPrefix + "the device sent no answer to the string length query";
            add("answers beyond the extension", {"--latency", QString::number(t.firstWaitMs * 4)},
                readsRows
                        ? Scenario{.completion = t.failed, .message = noLength}
                        : Scenario{.completion = t.firstFails, .line = op == Op::Send ? kHolds[0] : t.firstFailsLine});
            // A slow line, and an adapter that hands bytes over every 16 ms: everything works, only slower.
            Scenario slow = works;
            slow.baud = 2400;
            add("2400 baud", {"--baud", "2400"}, slow);
            // A version text of the usual size takes longer on the wire than the version's wait.
            const QString text = QStringLiteral("QZ4VELD V2.10 (2024-05-01)");
            Scenario bursts = works;
            if (op == Op::Version)
                bursts.line = "Version = " + text;
            add("bursts of 16 ms", {"--burst", "16", "--baud", "9600", "--version", text}, bursts);
            Scenario junk = works;
            junk.junkRow = 4;  // a stray byte after the slot's 0x00 filling: not what Send writes
            if (readsRows) {
                const bool read = op == Op::Read;
                junk = read ? Scenario{.completion = " 1 rows not read", .table = TableAfter::Device, .emptyRow = 4}
                            : Scenario{.completion = " 1 FAILED verifications"};
                junk.junkRow = 4;
                // No answer is a whole slot when the device reports another length than it holds.
                const auto noneWhole = [read](int rows) {
                    return read ? Scenario{.completion = QStringLiteral(" %1 rows not read").arg(rows),
                                           .table = TableAfter::DevicePrefix}
                                : Scenario{.completion = QStringLiteral(" %1 FAILED verifications").arg(rows)};
                };
                Scenario shortAnswers = noneWhole(23);
                shortAnswers.deviceLength = 6;
                add("reports length 10, holds 6", {"--report-length", "10"}, shortAnswers);
                add("reports length 6, holds 10", {"--report-length", "6"}, noneWhole(36));
                add("restarts", {"--restart-after", "5"},
                    {.completion = t.failed,
                     .message = t.errorPrefix + kRestarted,
                     .table = read ? TableAfter::DevicePrefix : TableAfter::Kept,
                     .prefixRows = 3});
            }
            if (op != Op::Version)
                add("filling that is not 0x00", {}, junk);
            if (op == Op::Send) {
                const QString holds = "The device now holds an incomplete table: rows 0 to 1 written, row 2 may be "
                                      "written, the rows after 2 not written. Send again.";
                add("restarts", {"--restart-after", "6"},
                    {.completion = t.failed, .message = t.errorPrefix + kRestarted + "\n" + holds, .line = holds});
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
