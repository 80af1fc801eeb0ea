#pragma once

#include "cli/cli_options.h"
#include "device/port_resolver.h"
#include "files/settings.h"
#include "model/capacity.h"
#include "model/row_table.h"

#include <QString>
#include <QStringList>

class QIODevice;
class QtSerialLink;
class SerialLink;
class Waiter;

namespace cli {

// Where the tool prints: standard output and standard error, and whether
// standard error is a terminal (the progress bar goes there only then).
struct Console final {
    QIODevice& out;
    QIODevice& err;
    bool errIsTerminal = false;
};

// The rows and string length of a configuration file, read by the window's
// reader on top of an empty table at the window's start-up length.
struct TableFile final {
    RowTable rows;
    int lengthIndex = capacity::kDefaultListIndex;
    // What the file does that is allowed but rarely meant, one line each
    // (fileWarnings, then the warnings among tableFindings).
    QStringList warnings;
};

// Throws UsageError naming the path for a file that cannot be read, a
// string-length line outside 1..10 and any line the window would complain about.
TableFile loadTable(const QString& path);

// Checks every row the string length uses before anything is sent: a string
// longer than the slot, a string with no device bytes, a key name the device
// has no scan code for. Throws UsageError naming the first such row.
void checkSendable(const TableFile& table);

// What the ports fall back on: the settings file's port, mapping and fast
// exchange, with --baud and --parity over the file's line settings.
PortDefaults portDefaults(const Options& options, const Settings& settings);

class ConsoleStatus;

// Throw UsageError for a log file that cannot be appended to and for a read's
// target that could never be saved, before anything is sent.
void checkLogFile(const QString& path);
void checkOutputFile(const QString& path);

// What one device's run came to.
struct DeviceOutcome final {
    int exitStatus = kExitNotSucceeded;
    int failed = 0;  // send: failed blocks; verify: failed rows
    QString deviceHolds;  // a send that ended early or was stopped: what the device now holds
};

// Configures and opens the port; one that cannot be opened throws UsageError.
void openPort(QtSerialLink& link, const ChosenPort& port);

// The operation on a port openPort() opened, the port closed after it; a read's
// table is then saved or printed. When the waiter is asked to stop, says so on
// console.err and comes back with kExitInterrupted.
DeviceOutcome runOnOpenPort(const Options& options, const ChosenPort& port, SerialLink& link, Waiter& waiter,
                            TableFile& table, ConsoleStatus& status, Console& console);

// The whole tool after QCoreApplication exists: arguments as
// QCoreApplication::arguments(); returns the exit status.
int execute(const QStringList& arguments, const QString& programFolder, Console& console);

}  // namespace cli
