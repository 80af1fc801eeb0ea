#include "cli/runner.h"

#include "cli/console_messages.h"
#include "cli/console_status.h"
#include "cli/interrupt_watch.h"
#include "cli/multi_run.h"
#include "cli/port_listing.h"
#include "cli/station_run.h"
#include "cli/table_check.h"
#include "device/event_loop_waiter.h"
#include "device/port_settings.h"
#include "device/qt_serial_link.h"
#include "device/waiter.h"
#include "files/atomic_write.h"
#include "files/config_file.h"
#include "files/file_error.h"
#include "files/log_file.h"
#include "files/regular_file.h"
#include "model/error_text.h"
#include "model/key_table.h"
#include "model/version.h"
#include "operations/headless_view.h"
#include "operations/operation_context.h"
#include "operations/read_operation.h"
#include "operations/send_operation.h"
#include "operations/verify_operation.h"
#include "operations/version_operation.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

namespace cli {

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// A message may list candidates on lines of their own; each line is made safe by itself.
void printError(Console& console, const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = terminalSafe(line);
    console.err.write(
            (QLatin1String(kProgramName) + QStringLiteral(": ") + lines.join(QLatin1Char('\n')) + QLatin1Char('\n'))
                    .toUtf8());
}

UsageError usageError(const QString& text)
{
    return UsageError(text.toStdString());
}

// portNamed: the run does not take its port from PORT, so nothing is said about it.
Settings loadSettings(const QString& programFolder, bool portNamed, Console& console)
{
    // The file the window reads: the program folder's, or the user's copy
    // once an installed program has saved its settings there.
    const settings_file::LoadResult loaded = settings_file::load(settings_file::locate(programFolder).readPath);
    // A script would otherwise run on a port and settings nobody chose.
    if (!loaded.fileError.isEmpty())
        throw usageError(QStringLiteral("the settings file cannot be used: ") + loaded.fileError);
    // As in the window: a bad value is named and replaced by its default.
    for (const QString& error : loaded.errors) {
        if (!portNamed || error != loaded.portError)
            printError(console, QStringLiteral("Error detected - ") + error);
    }
    return loaded.settings;
}

int exitFor(bool succeeded)
{
    return succeeded ? kExitSucceeded : kExitNotSucceeded;
}

// The device part of a run, after every file and argument has been checked.
int runOperation(const Options& options, const ChosenPort& port, TableFile& table, ConsoleStatus& status,
                 Console& console)
{
    QtSerialLink link;
    EventLoopWaiter waiter;
    InterruptWatch interrupts(waiter);
    openPort(link, port);
    return runOnOpenPort(options, port, link, waiter, table, status, console).exitStatus;
}

}  // namespace

// The log is appended to, never truncated; opening it once up front turns a
// bad path (a pipe, a device, a folder) into a usage error instead of a hang or
// a failure in the middle of a run.
void checkLogFile(const QString& path)
{
    try {
        log_file::append(path, QStringList());
    } catch (const FileError& error) {
        throw usageError(describe(error));
    }
}

// A read takes seconds; a target it could never be saved to is refused before.
void checkOutputFile(const QString& path)
{
    const QFileInfo given(path);
    if (given.isSymLink() && !given.exists())
        throw usageError(QStringLiteral("cannot write %1: it is a link to %2, which does not exist")
                                 .arg(shown(path), shown(given.symLinkTarget())));
    // A link is written through: the file that counts is the one it names.
    const QString target = given.isSymLink() ? given.canonicalFilePath() : given.absoluteFilePath();
    if (const QString reason = files::notRegularReason(target); !reason.isEmpty())
        throw usageError(QStringLiteral("cannot write %1: %2").arg(shown(path), reason));
    const QFileInfo folder(QFileInfo(target).absolutePath());
    if (!folder.isDir())
        throw usageError(QStringLiteral("cannot write %1: the folder %2 does not exist")
                                 .arg(shown(path), shown(folder.filePath())));
    // The save's own temporary file, made and removed: permission bits say
    // nothing about read-only mounts or /proc, and root passes them all.
    try {
        files::checkWritableAtomically(target);
    } catch (const FileError& error) {
        throw usageError(describe(error));
    }
}

void openPort(QtSerialLink& link, const ChosenPort& port)
{
    try {
        port.configure(link);
        // Opened here rather than at the first command so that a port that
        // cannot be opened is a usage error with its own message; the
        // operations find it open and send exactly the same bytes.
        link.open();
    } catch (const SerialError& error) {
        throw usageError(describe(error));
    }
}

DeviceOutcome runOnOpenPort(const Options& options, const ChosenPort& port, SerialLink& link, Waiter& waiter,
                            TableFile& table, ConsoleStatus& status, Console& console)
{
    ConsoleMessages messages(status);
    HeadlessView view(table.lengthIndex);
    OperationContext context{link, waiter, messages, status, table.rows, view, port.comPort, port.fastExchange};
    DeviceOutcome outcome;
    int& exitStatus = outcome.exitStatus;
    bool tableRead = false;
    try {
        switch (options.command) {
        case Command::Version:
            exitStatus = exitFor(VersionOperation(context).run() == VersionOperation::Outcome::Succeeded);
            break;
        case Command::Read: {
            ReadOperation read(context);
            const ReadOperation::Outcome result = read.run();
            // Rows not read stay empty in the file; the rows that were read are kept.
            tableRead = result != ReadOperation::Outcome::Failed;
            exitStatus = exitFor(result == ReadOperation::Outcome::Succeeded);
            outcome.failed = read.rowsNotRead();
            break;
        }
        case Command::Send: {
            SendOperation send(context);
            SendOperation::Outcome result = SendOperation::Outcome::Failed;
            try {
                result = send.run();
            } catch (const OperationAborted&) {
                outcome.deviceHolds = send.deviceHolds();
                throw;
            }
            exitStatus = exitFor(result == SendOperation::Outcome::Succeeded);
            outcome.failed = send.failedBlocks();
            if (result == SendOperation::Outcome::Failed)
                outcome.deviceHolds = send.deviceHolds();
            break;
        }
        case Command::Verify: {
            VerifyOperation verify(context);
            verify.compareStringLength();
            exitStatus = exitFor(verify.run() == VerifyOperation::Outcome::Succeeded);
            outcome.failed = verify.failedRows();
            break;
        }
        case Command::Check:
            break;
        case Command::Ports:  // listed before any port is opened
        case Command::Station:  // a run of its own
            break;
        }
    } catch (const OperationAborted&) {
        link.close();
        // The run's own last line (for a Send: what the device now holds) comes
        // after this notice, so it is the last line the operator reads.
        status.hideProgress();
        printError(console, QStringLiteral("interrupted; the port was closed"));
        status.finish();
        return {kExitInterrupted, 0, outcome.deviceHolds};
    }
    // The window leaves its completion label hidden when Verify stops early
    // (no device, a length it cannot use, an error); a script reads the last line.
    if (exitStatus != kExitSucceeded && status.completion().isEmpty())
        status.showCompletion(options.command == Command::Verify ? QStringLiteral("FAILED VERIFICATION")
                                                                 : QStringLiteral("FAILED OPERATION"));
    // A signal after the last wait finds the run complete: its outcome stands.
    status.finish();
    link.close();

    if (tableRead) {
        const int length = view.stringLengthIndex() + 1;
        try {
            if (options.file.isEmpty()) {
                const QByteArray text = config_file::render(table.rows, length, QDateTime::currentDateTime());
                if (console.out.write(text) != text.size())
                    throw FileError(QStringLiteral("cannot write the configuration to standard output: %1")
                                            .arg(console.out.errorString()));
            } else {
                config_file::save(options.file, table.rows, length);
            }
        } catch (const FileError& error) {
            printError(console, describe(error));
            return {kExitUsage, 0, {}};
        }
    }
    return outcome;
}

namespace {

int listPorts(const Options& options, const Settings& settings, Console& console)
{
    PortResolver ports(portDefaults(options, settings));
    const QByteArray text = portTable(ports.catalogue(), options.probe ? &ports.probes() : nullptr);
    return console.out.write(text) == text.size() ? kExitSucceeded : kExitNotSucceeded;
}

}  // namespace

TableFile loadTable(const QString& path)
{
    TableFile table;
    const config_file::LoadSummary summary =
            config_file::applyTo(table.rows, path, [&table](int length) { table.lengthIndex = length - 1; });
    if (!summary.complete())
        throw usageError(summary.openError);
    if (!summary.lineErrors.isEmpty())
        throw usageError(shown(path) + QStringLiteral(": ") + summary.lineErrors.join(QStringLiteral("; ")));
    // Sending a table of nothing would blank the device; a file without a single
    // row line is not a configuration file that was meant.
    if (summary.rowLines == 0)
        throw usageError(QStringLiteral("%1 holds no row lines: it is not a configuration file").arg(shown(path)));
    table.warnings = fileWarnings(summary, table.lengthIndex);
    for (const TableFinding& finding : tableFindings(table.rows, table.lengthIndex)) {
        if (!finding.refused)
            table.warnings << finding.text;
    }
    return table;
}

void checkSendable(const TableFile& table)
{
    for (const TableFinding& finding : tableFindings(table.rows, table.lengthIndex)) {
        if (finding.refused)
            throw usageError(finding.text);
    }
}

PortDefaults portDefaults(const Options& options, const Settings& settings)
{
    return {settings.comPort, settings.portPaths,
            port_settings::settingsText(options.baud.isEmpty() ? settings.baud : options.baud,
                                        options.parity.isEmpty() ? settings.parity : options.parity),
            settings.fastExchange == 1};
}

int execute(const QStringList& arguments, const QString& programFolder, Console& console)
{
    Parsed parsed;
    try {
        parsed = parse(arguments);
    } catch (const UsageError& error) {
        printError(console, describe(error));
        printError(console, QStringLiteral("try %1 --help").arg(QLatin1String(kProgramName)));
        return kExitUsage;
    }
    try {
        if (parsed.action == Parsed::Action::Help) {
            console.out.write(helpText().toUtf8());
            return kExitSucceeded;
        }
        if (parsed.action == Parsed::Action::ShowVersion) {
            console.out.write(QByteArray(kProgramName) + ' ' + kProgramVersion + '\n');
            return kExitSucceeded;
        }
        const Options& options = parsed.options;
        // ports lists them all; a run given --port has no use for PORT.
        const bool portNamed = options.command == Command::Ports || !options.ports.isEmpty();
        if (options.command == Command::Check)
            return runCheck(options.file, options.strict, console);
        if (options.command == Command::Ports)
            return listPorts(options, loadSettings(programFolder, portNamed, console), console);

        TableFile table;
        const bool sends = options.command == Command::Send || options.command == Command::Station;
        if (sends || options.command == Command::Verify) {
            table = loadTable(options.file);
            for (const QString& warning : table.warnings)
                printError(console, QStringLiteral("warning: %1: %2").arg(shown(options.file), warning));
            if (options.strict && !table.warnings.isEmpty())
                throw usageError(
                        QStringLiteral("--strict: %1 has warnings; nothing was done").arg(shown(options.file)));
        }
        if (sends)
            checkSendable(table);
        if (options.command == Command::Station)
            return runStation(options, table, loadSettings(programFolder, portNamed, console), console);
        if (options.manyDevices())
            return runMany(options, table, loadSettings(programFolder, portNamed, console), console);
        if (options.command == Command::Read && !options.file.isEmpty())
            checkOutputFile(options.file);
        if (!options.logPath.isEmpty())
            checkLogFile(options.logPath);
        const Settings settings = loadSettings(programFolder, portNamed, console);
        const ChosenPort port = PortResolver(portDefaults(options, settings)).resolve(options.port);

        // A table on standard output must stay clean: the lines go to standard error.
        const bool tableOnOut = options.command == Command::Read && options.file.isEmpty();
        ConsoleStatus status(tableOnOut ? console.err : console.out, console.err, console.errIsTerminal);
        status.setQuiet(options.quiet);
        status.setLogFile(options.logPath);
        return runOperation(options, port, table, status, console);
    } catch (const UsageError& error) {
        printError(console, describe(error));
        return kExitUsage;
    } catch (const PortChoiceError& error) {
        printError(console, describe(error));
        return kExitUsage;
    } catch (const std::exception& error) {
        printError(console, describe(error));
        return kExitNotSucceeded;
    }
}

}  // namespace cli
