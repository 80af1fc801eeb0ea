#include "support/fault_rig.h"

#include "device/event_loop_waiter.h"
#include "device/qt_serial_link.h"
#include "model/key_table.h"
#include "model/notation.h"
#include "operations/read_operation.h"
#include "operations/send_operation.h"
#include "operations/verify_operation.h"
#include "operations/version_operation.h"
#include "sim/lib/device_model.h"
#include "support/fake_device.h"
#include "support/sim_process.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace faults {

namespace {

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

bool runOperation(Op op, OperationContext& context)
{
    switch (op) {
    case Op::Version: {
        const VersionOperation::Outcome outcome = VersionOperation(context).run();
        if (outcome == VersionOperation::Outcome::Aborted)
            throw OperationAborted();
        return outcome == VersionOperation::Outcome::Succeeded;
    }
    case Op::Read:
        return ReadOperation(context).run() == ReadOperation::Outcome::Succeeded;
    case Op::Verify:
        return VerifyOperation(context).run() == VerifyOperation::Outcome::Succeeded;
    case Op::Send:
        return SendOperation(context).run() == SendOperation::Outcome::Succeeded;
    }
    return false;
}

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
                    .arg(r)
                    .arg(after.keyNames.at(r), after.strings.at(r), key, string);
    }
    return {};
}

}  // namespace

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

    QtSerialLink link({{1, path}});
    link.configure(1, QStringLiteral("9600,N,8,2"));
    EventLoopWaiter waiter;
    fakedev::RecordingStatus status;
    fakedev::RecordingMessages messages;
    fakedev::RecordingView view;
    // Verify compares against what the device holds; the others start from the operator's own table.
    RowTable rows = s.op == Op::Verify ? kDevice : kScreen;
    view.lengthIndex = s.op == Op::Read ? 5 : kLength - 1;
    const RowTable before = rows;
    OperationContext context{link, waiter, messages, status, rows, view, 1};

    // Another process holding the port through QSerialPort (and so its lock file).
    QProcess holder;
    qint64 holderPid = 0;
    if (s.access == Access::Held) {
        holder.start(QCoreApplication::applicationFilePath(), {QLatin1String(kHoldPortArgument), path});
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
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        hung = true;
        waiter.requestAbort();
    });
    watchdog.start(limitMs);
    bool succeeded = false;
    try {
        succeeded = runOperation(s.op, context);
    } catch (const OperationAborted&) {
        hung = true;
    } catch (const std::exception& error) {
        problems << QStringLiteral("an error escaped the operation: ") + QString::fromLocal8Bit(error.what());
    }
    watchdog.stop();
    if (switched && ::setresuid(0, 0, 0) != 0)
        std::abort();  // the rest of the run would be under the wrong user
    holder.closeWriteChannel();  // the holder lets go; one still running is killed with `holder`
    holder.waitForFinished(5000);

    if (hung)
        problems << QStringLiteral("still running after %1 ms").arg(limitMs);
    if (succeeded != s.succeeds)
        problems << QStringLiteral("reported %1").arg(succeeded ? "success" : "failure");
    const QString shown = status.completionShown ? status.completion : QString();
    if (shown != s.completion)
        problems << QStringLiteral("completion \"%1\" instead of \"%2\"").arg(shown, s.completion);
    // %1 the device, %O and %G its owner and group, %P the process holding it.
    const auto withPath = [&](QString text) {
        const QFileInfo node(path);
        return text.replace(QLatin1String("%1"), path)
                .replace(QLatin1String("%O"), node.owner())
                .replace(QLatin1String("%G"), node.group())
                .replace(QLatin1String("%P"), QString::number(holderPid));
    };
    const QStringList expectedMessages = s.message.isEmpty() ? QStringList() : QStringList{withPath(s.message)};
    if (messages.infos != expectedMessages)
        problems << QStringLiteral("messages [%1] instead of [%2]")
                            .arg(messages.infos.join(" | "), expectedMessages.join(""));
    if (!s.line.isEmpty() && !status.lines.contains(withPath(s.line)))
        problems << QStringLiteral("no status line \"%1\" in [%2]").arg(withPath(s.line), status.lines.join(" | "));
    if (!view.controlsEnabled)
        problems << QStringLiteral("controls left disabled");
    if (succeeded && link.isOpen())
        problems << QStringLiteral("port left open after a completed run");
    if (const QString rowsProblem = tableProblem(s, before, rows); !rowsProblem.isEmpty())
        problems << rowsProblem;
    return problems;
}

int holdPort(const char* path)
{
    int argc = 1;
    char name[] = "port-holder";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QSerialPort port(QString::fromLocal8Bit(path));
    if (!port.open(QIODevice::ReadWrite))
        return std::printf("failed: %s\n", qPrintable(port.errorString())), 1;
    std::printf("held\n");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) { }
    return 0;
}

}  // namespace faults
