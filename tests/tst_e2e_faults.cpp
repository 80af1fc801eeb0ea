// Version, Read, Verify and Send over the real serial link and event-loop waiter against qz4veld-sim on a
// pseudo-terminal, qz4veld-cli as a separate process against it, and a window's table across a kill -9.
// Fault matrix: every cell must end on its own, say what happened in the operator's words, never call a
// failure a success, and never lose the operator's table.
#include "device/attachment.h"
#include "device/protocol.h"
#include "files/recovery_store.h"
#include "model/key_table.h"
#include "model/notation.h"
#include "operations/read_operation.h"
#include "operations/send_operation.h"
#include "operations/verify_operation.h"
#include "operations/version_operation.h"
#include "sim/lib/device_model.h"
#include "support/file_helpers.h"
#include "support/sim_process.h"
#include "support/ui_rig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <array>

#include <cstdio>
#include <cstring>
#include <ctime>
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
    watchdog.callOnTimeout([&] { hung = true, rig.waiter.requestAbort(); });
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

// `<test> --child <folder>`, the process restoresAfterKill kills: types a table,
// says "ready" once its snapshot is on disk, then waits.
int typeAndWait(const QString& stateFolder)
{
    ui_test::WindowRig rig;
    rig.stateFolder = stateFolder;
    rig.restart();
    rig.keyString(0)->setText(QStringLiteral("abc"));
    rig.window->rows().notes.at(3) = QStringLiteral("note");
    if (!QTest::qWaitFor([&] { return QFile::exists(RecoveryStore(stateFolder).path()); }, 10000))
        return 1;
    std::puts("ready"), std::fflush(stdout);
    return QCoreApplication::exec();
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
const QString kIncomplete =
        "The device now holds an incomplete table: rows 0 to 0 written, the rest empty. Send again.";

// What each operation shows: completion when the presence check fails, when a later
// error ends it (with the message's prefix), when the first exchange after the
// presence check gets no good answer (with its status line), and on success.
struct Texts final {
    const char* name;
    int firstWaitMs;  // the first fixed wait after the presence check
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

const QString kCli = QStringLiteral(QZ_BIN_DIR "/qz4veld-cli");

struct Run final {
    int exitCode = -1;  // -1: crashed or hung
    QString out;
    QString err;
    QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

Run finish(QProcess& process)
{
    if (!process.waitForFinished(60000))
        process.kill(), process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

Run cli(const QStringList& arguments, const QString& program = kCli)
{
    QProcess process;
    process.start(program, arguments);
    return finish(process);
}

// String length 10 (23 usable rows): a key without a string, blanks, the last usable row full.
QByteArray tableFile(const QByteArray& row5String)
{
    QByteArray text = "#Quorvane QZ4VELDT configuration file\r\n#File written x\r\n\r\nString Length = 10\r\n\r\n";
    for (int r = 0; r < 94; ++r) {
        const QByteArray fields = r == 0 ? QByteArray("A\tab{0D}")
                : r == 5                 ? "F1\t" + row5String
                : r == 7                 ? QByteArray("TAB\t")
                : r == 22                ? QByteArray("ENTER\t~{7F}{1B}x012345")
                                         : QByteArray("\t");
        text += QByteArray::number(r).rightJustified(2, '0') + '\t' + fields + "\t\r\n";
    }
    return text;
}

QStringList rowLines(const QString& path)
{
    return QString::fromUtf8(test_files::readAll(path))
            .split("\r\n")
            .filter(QRegularExpression("^(String Length|[0-9]{2}\t)"));
}

}  // namespace

Q_DECLARE_METATYPE(Scenario)

class E2eFaultsTest final : public QObject {
    Q_OBJECT

    QElapsedTimer m_clock;  // of the matrix
    int m_scenarios = 0, m_passed = 0, m_retried = 0, m_skipped = 0;
    QTemporaryDir m_dir;

    QString file(const QString& name, const QByteArray& content)
    {
        return test_files::writeAll(m_dir.filePath(name), content) ? m_dir.filePath(name) : QString();
    }

private slots:
    void initTestCase()
    {
        // Benches run it without a display: no GUI library may come in.
        QProcess ldd;
        ldd.start("ldd", {kCli});
        const QString libraries =
                ldd.waitForFinished(10000) ? QString::fromLocal8Bit(ldd.readAllStandardOutput()) : QString();
        QVERIFY2(libraries.contains("Qt6Core") && !libraries.contains("Qt6Gui"), qPrintable(libraries));
    }

    // Run by bench/presence_absent.sh for its timing line.
    void absentDevice()
    {
        fakedev::SimProcess sim({"--absent"});
        QVERIFY2(sim.started(), qPrintable(sim.errors()));
        fakedev::RealRig rig(sim.path());
        Protocol protocol(rig.link, rig.waiter, rig.status);
        QElapsedTimer wall;
        const std::clock_t cpuBefore = std::clock();
        wall.start();
        const AttachCheck check = checkAttached(protocol, rig.messages, 1);
        qInfo("BENCH presence-absent wall_ms=%lld cpu_ms=%lld", wall.elapsed(),  // never asserted
              static_cast<long long>((std::clock() - cpuBefore) * 1000 / CLOCKS_PER_SEC));
        QCOMPARE(check.tries, 8);
    }

    // The device's memory outlives the simulator ([PORTS] from --ini: findsMappedDevices); a lost line
    // is reported once.
    void stateFileAndUnplug()
    {
        const QString state = m_dir.filePath("state.bin");
        {
            fakedev::SimProcess sim({"--state", state});
            QVERIFY2(sim.started(), qPrintable(sim.errors()));
            fakedev::RealRig rig(sim.path());
            QCOMPARE(rig.settle("/L3", 1), QByteArray("\x06"));
            QCOMPARE(rig.settle("/W\x05\x1Cxyz", 2), QByteArray("\x06\x05"));
            QCOMPARE(sim.stop(), 0);
        }
        fakedev::SimProcess sim({"--state", state, "--unplug-after", "2"});
        QVERIFY2(sim.started(), qPrintable(sim.errors()));
        fakedev::RealRig rig(sim.path());
        QCOMPARE(rig.settle("/L?/R\x05", 5), QByteArray("3\x1Cxyz"));
        rig.link.write("V");  // the simulator drops the line when this arrives
        const QString lost = test_files::errorOf<SerialError>([&] {
            for (int poll = 0; poll < 500; ++poll)
                rig.waiter.delay(10), rig.link.bytesAvailable();
        });
        QCOMPARE(lost, kGone.arg(sim.path()));
        QVERIFY(!rig.link.isOpen());
        QVERIFY(sim.waitForExit(5000));
        QTest::qWait(200);
        QCOMPARE(rig.link.errorReports(), 1);  // nothing keeps firing on the dead line
        // Said once: the next open finds the mapped terminal gone.
        const QString reopened = test_files::errorOf<SerialError>([&] { rig.link.open(); });
        QVERIFY(reopened.startsWith("COM1 is mapped to " + sim.path() + " which is not connected"));
    }

    // A table typed into a window outlives a kill -9 of its process: the next start offers it back.
    void restoresAfterKill()
    {
        QTemporaryDir state;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), state.path()});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("ready"), 20000);
        child.kill();  // SIGKILL: nothing of the program's own clean-up runs
        QVERIFY(child.waitForFinished(5000));

        ui_test::WindowRig rig;
        rig.stateFolder = state.path();
        rig.restart();
        QCOMPARE(rig.messages.confirms.size(), 1);
        QCOMPARE(rig.keyString(0)->text(), "abc");
        QCOMPARE(rig.window->rows().notes.at(3), "note");
    }

    // Four devices in one run, the third losing its line in the middle of the send; then the first alone.
    void sendVerifyRead()
    {
        const QString arrivals = m_dir.filePath("arrivals");
        std::vector<std::unique_ptr<fakedev::SimProcess>> sims;
        QStringList ports;
        for (const QStringList& args : {QStringList{"--arrivals", arrivals}, {}, {"--unplug-after", "8"}, {}}) {
            sims.push_back(std::make_unique<fakedev::SimProcess>(args));
            QVERIFY2(sims.back()->started(), qPrintable(sims.back()->errors()));
            ports << "--port" << sims.back()->path();
        }
        const QString table = file("many.cfg", tableFile("xyz{20}"));
        const QString lost = sims[2]->path().mid(5);  // "pts/N", as the lines name it

        const Run send = cli(QStringList{"send", table, "--json"} + ports);
        QCOMPARE(send.exitCode, 1);
        const QStringList objects = send.outLines();
        QCOMPARE(objects.size(), 4);
        for (int i = 0; i < 4; ++i) {
            const QJsonObject device = QJsonDocument::fromJson(objects.at(i).toUtf8()).object();
            QCOMPARE(device.value("port").toString(), sims[i]->path());
            QCOMPARE(device.value("ok").toBool(), i != 2);
            QCOMPARE(device.value("completion").toString(), i == 2 ? "FATAL ERROR" : "Successful Operation");
        }
        const QString why = "Error sending to QZ4VELD. device " + sims[2]->path() + " was disconnected";
        QCOMPARE(QJsonDocument::fromJson(objects.at(2).toUtf8()).object().value("message").toString(), why);
        QVERIFY2(send.err.contains("[" + lost + "] " + why + "\n"), qPrintable(send.err));
        QCOMPARE(send.err.count("] success  blk# ") - send.err.count("[" + lost + "] success  blk# "), 3 * 23);
        const QString summaryLine = "\n" + QRegularExpression::escape(lost) + " +FATAL ERROR \\("
                + QRegularExpression::escape(why) + "\\)  ";
        QVERIFY2(send.err.contains(QRegularExpression(summaryLine)), qPrintable(send.err));

        // A port that cannot be opened (a freed terminal's name may be taken again
        // at once): nothing is sent to any of the four.
        ports[5] = "/dev/qz-none";
        const Run refused = cli(QStringList{"verify", table} + ports);
        QCOMPARE(refused.exitCode, 2);
        QCOMPARE(refused.out, QString());
        ports.remove(4, 2);
        const Run verify = cli(QStringList{"verify", table, "--quiet"} + ports);
        QCOMPARE(verify.exitCode, 0);
        QCOMPARE(verify.out.count(QRegularExpression(" Successful Verification +0 ")), 3);

        // The first alone: a send with a log, a verify, a read (its file takes the device's length).
        const QString log = m_dir.filePath("send.log");
        const Run single = cli({"send", table, "--port", sims[0]->path(), "--log", log});
        QCOMPARE(single.exitCode, 0);
        const QStringList lines = single.outLines();
        QCOMPARE(lines.mid(0, 2), (QStringList{"Write Operation Requested", "Check for QZ4VELDT attached *"}));
        QCOMPARE(lines.last(), QStringLiteral("Successful Operation"));
        // The window's log: the presence line as added, no completion text.
        const QStringList logged = QString::fromLatin1(test_files::readAll(log)).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(logged.at(1), QStringLiteral("Check for QZ4VELDT attached"));
        QCOMPARE(logged.mid(2), lines.mid(2, lines.size() - 3));

        const Run mismatch =
                cli({"verify", file("changed.cfg", tableFile("xyz")), "--port", sims[0]->path(), "--quiet"});
        QCOMPARE(mismatch.exitCode, 1);
        QCOMPARE(mismatch.outLines(), QStringList{" 1 FAILED verifications"});

        const QString readBack = m_dir.filePath("read.cfg");
        const Run read = cli({"read", "-o", readBack, "--port", sims[0]->path()});
        QCOMPARE(read.exitCode, 0);
        QCOMPARE(rowLines(readBack), rowLines(table));

        // No command went out before the previous one's wait was over, as the device saw them arrive. A busy
        // machine runs the simulator late at times, making single gaps look short; a wait that ends early
        // shortens every gap of its length: the middle gap of each is checked, to half a millisecond, all
        // but the first commands (a cold simulator).
        const QList<QByteArray> arrived = test_files::readAll(arrivals).split('\n');
        QMap<int, QList<qint64>> gapsUs;  // by the wait owed, in ms
        for (qsizetype i = 3; i + 2 < arrived.size(); ++i) {
            const QList<QByteArray> now = arrived.at(i).split(' '), next = arrived.at(i + 1).split(' ');
            const int owedMs = fakedev::owedWaitMs(QByteArray::fromHex(now.at(1)), QByteArray::fromHex(next.at(1)));
            gapsUs[owedMs].append(next.at(0).toLongLong() - now.at(0).toLongLong());
        }
        QCOMPARE(gapsUs.keys(), (QList<int>{5, 10, 50, 100, 140}));
        for (auto [owedMs, gaps] : gapsUs.asKeyValueRange()) {
            std::sort(gaps.begin(), gaps.end());
            QVERIFY2(gaps.at(gaps.size() / 2) >= owedMs * 1000 - 500, qPrintable(QString::number(owedMs)));
        }

        QProcess process;
        process.start(kCli, {"send", file("interrupt.cfg", tableFile("q")), "--port", sims[0]->path()});
        QByteArray out;
        while (!out.contains("/W{3}") && process.waitForReadyRead(5000))
            out += process.readAllStandardOutput();
        QVERIFY2(out.contains("/W{3}"), out.constData());
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        const Run interrupted = finish(process);
        QCOMPARE(interrupted.exitCode, 130);
        // The last line says what the device holds now; row 3's block had gone out.
        const QRegularExpression holds(
                "^The device now holds an incomplete table: rows 0 to ([3-9]|1[0-9]|2[0-2]) written, "
                "the rest empty\\. Send again\\.$");
        QVERIFY2(holds.match(interrupted.outLines().constLast()).hasMatch(), qPrintable(interrupted.out));
        // The port was let go and no block was cut: the next run's bytes are commands again.
        const Run version = cli({"version", "--port", sims[0]->path()});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.outLines().last(), QStringLiteral("Operation Successful"));
    }

    // A copy of the tool reads the QZ4Vel.ini beside it: COM1 answers (but for row 5), COM2 is silent,
    // COM3 unplugged.
    void findsMappedDevices()
    {
        QTemporaryDir folder;
        const QString tool = folder.filePath("qz4veld-cli"), ini = folder.filePath("QZ4Vel.ini");
        const QString gone = "/dev/serial/by-id/usb-QZ_gone-if00-port0";
        QVERIFY(QFile::copy(kCli, tool) && test_files::writeAll(ini, "[PORTS]\r\nCOM3=" + gone.toUtf8() + "\r\n"));
        fakedev::SimProcess present({"--silent-row", "5", "--ini", ini, "--com", "1"}),
                silent({"--absent", "--ini", ini, "--com", "2"});
        QVERIFY2(present.started() && silent.started(), qPrintable(present.errors() + silent.errors()));

        const QStringList table = cli({"ports", "--probe"}, tool).outLines();
        QCOMPARE(table.first(),
                 QStringLiteral(
                         "Device\tStable path\tDescription\tManufacturer\tSerial number\tVID:PID\tIn use\tQZ4VELD"));
        QCOMPARE(table.mid(table.size() - 3),
                 (QStringList{present.path() + "\t\tmapped as COM1\t\t\t\tno\tyes",
                              silent.path() + "\t\tmapped as COM2\t\t\t\tno\tno",
                              gone + "\t\tmapped as COM3, not connected\t\t\t\tno\tno"}));
        QCOMPARE(cli({"version", "--port", "auto"}, tool).exitCode, 0);

        // The table goes to standard output, so the status lines go to standard error.
        const Run absent = cli({"read", "--port", silent.path()});
        QCOMPARE(absent.exitCode, 1);
        QCOMPARE(absent.out, QString());
        QCOMPARE(absent.err,
                 "Read Operation Requested\nCheck for QZ4VELDT attached * * * * * * * *\n"
                 "QZ4VELDT not responsing on port COM1\nFAILED READ\n");
        // A row the device does not answer: exit 1, said last, and the rows that were read are saved.
        const QString partial = m_dir.filePath("partial.cfg");
        const Run read = cli({"read", "-o", partial, "--port", present.path()});
        QCOMPARE(read.exitCode, 1);
        QCOMPARE(read.outLines().constLast(), QStringLiteral(" 1 rows not read"));
        QCOMPARE(rowLines(partial).size(), 1 + 94);
    }

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
                add(QStringLiteral("unplug %1").arg(after), {"--unplug-after", QString::number(after)},
                    {.completion = t.failed,
                     .message = t.errorPrefix + kGone,
                     .line = op == Op::Send && after == 3 ? kIncomplete : "",
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
            // Later than the first fixed wait: the answer is missing when it is read.
            const QString noLength = t.errorPrefix + "the device sent no answer to the string length query";
            for (const int percent : {150, 300})
                add(QStringLiteral("latency %1%").arg(percent),
                    {"--latency", QString::number(t.firstWaitMs * percent / 100)},
                    readsRows ? Scenario{.completion = t.failed, .message = noLength}
                              : Scenario{.completion = t.firstFails, .line = t.firstFailsLine});
        }
    }

    void matrix()
    {
        QFETCH(Scenario, scenario);
        ++m_scenarios;
        QStringList problems = run(scenario, kLimitMs);
        if (problems.size() == 1 && problems.constFirst().startsWith(QLatin1String(kCannotArrange))) {
            ++m_skipped;
            QSKIP(qPrintable(problems.constFirst()));
        }
        if (!problems.isEmpty()) {
            // A loaded machine can stretch one wait past a late answer; a real fault shows again.
            ++m_retried;
            qInfo("retrying after: %s", qPrintable(problems.join(QStringLiteral("; "))));
            problems = run(scenario, kLimitMs);
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
        ++m_passed;
    }

    void cleanupTestCase()
    {
        std::printf("%d scenarios, %d passed\nmatrix time %.1f s, %d retried, %d could not be arranged here\n",
                    m_scenarios, m_passed, m_clock.elapsed() / 1000.0, m_retried, m_skipped);
        std::fflush(stdout);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--hold-port") == 0)
        return holdPort(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return typeAndWait(QString::fromLocal8Bit(argv[2]));
    E2eFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_faults.moc"
