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

bool writeDeviceState(const QString& path)
{
    DeviceModel device;
    device.setStringLength(kLength);
    for (int r = 0; r < kRows; ++r) {
        const QString& key = kDevice.keyNames.at(r);
        const int scancode = key.isEmpty() ? 0xFF : key_table::scancodeForKeyName(key);
        device.setSlot(r, static_cast<std::uint8_t>(scancode),
                       notation::toDeviceBytes(kDevice.strings.at(r), kLength).value());
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(device.saveState()) >= 0;
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
    if (!writeDeviceState(state))
        return {QStringLiteral("cannot write the simulator's state file")};
    fakedev::SimProcess sim(QStringList{"--state", state, "--version", "V2.10"} + s.simArgs);
    if (!sim.started())
        return {QStringLiteral("the simulator did not start: ") + sim.errors()};
    const QString path = sim.path();
    fakedev::RealRig rig(path);
    // Verify compares against what the device holds; the others start from the operator's own table.
    rig.rows = s.op == Op::Verify ? kDevice : kScreen;
    rig.view.lengthIndex = s.op == Op::Read ? 5 : kLength - 1;
    const RowTable before = rig.rows;

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
    if (const QString rowsProblem = tableProblem(s, before, rig.rows); !rowsProblem.isEmpty())
        problems << rowsProblem;
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
            add("late answers", {"--latency", QString::number(t.firstWaitMs + 10)},
                {.succeeds = true,
                 .completion = t.done,
                 .line = t.doneLine,
                 .table = op == Op::Read ? TableAfter::Device : TableAfter::Kept});
            const QString noLength = t.errorPrefix + "the device sent no answer to the string length query";
            add("answers beyond the extension", {"--latency", QString::number(t.firstWaitMs * 4)},
                readsRows
                        ? Scenario{.completion = t.failed, .message = noLength}
                        : Scenario{.completion = t.firstFails, .line = op == Op::Send ? kHolds[0] : t.firstFailsLine});
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
