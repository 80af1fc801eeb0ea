#pragma once

#include "device/port_resolver.h"

#include <QString>
#include <QStringList>

#include <stdexcept>

// The command line of qz4veld-cli: one command, its file, and the port options.
namespace cli {

// Exit statuses a bench script can act on.
inline constexpr int kExitSucceeded = 0;
inline constexpr int kExitNotSucceeded = 1;  // ran, but the device is absent, wrong, or rows failed
inline constexpr int kExitUsage = 2;  // bad arguments, unreadable files, ports that cannot be opened
inline constexpr int kExitInterrupted = 130;  // SIGINT or SIGTERM

inline constexpr char kProgramName[] = "qz4veld-cli";

// Something the run cannot start with; what() is the message for standard error.
class UsageError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Command { Version, Read, Send, Verify, Check, Ports, Station };

// --port value that stands for every port where a device answers the presence probe.
inline constexpr const char* kAllPorts = PortResolver::kAllPorts;

struct Options final {
    Command command = Command::Version;
    QString file;  // send/verify/station: the configuration file; read: -o target, "" for standard output
    QString port;  // "COM<n>" (upper case), an absolute device path, "auto", "serial:<n>"; "" = settings file
    QStringList ports;  // every --port given, in order; several (or kAllPorts) run the devices side by side
    QString baud;  // decimal digits; "" = settings file
    QString parity;  // "N", "E" or "O"; "" = settings file
    QString logPath;  // "" = no log
    bool quiet = false;
    bool strict = false;  // send/verify: a file with warnings is refused (exit 2); check: warnings are refusals
    bool json = false;  // one JSON object per device on standard output
    bool probe = false;  // ports: run the presence check on every free port
    bool verify = true;  // station: Verify after Send (--no-verify turns it off)
    int count = 0;  // station: end after this many devices ended ok; 0 = no limit
    QString recordPath;  // station: the CSV record, "" = none

    // Several devices, each on a thread of its own, with a summary at the end.
    bool manyDevices() const { return ports.size() > 1 || ports.contains(QLatin1String(kAllPorts)) || json; }
};

struct Parsed final {
    enum class Action { Run, Help, ShowVersion };
    Action action = Action::Run;
    Options options;
};

// arguments: as QCoreApplication::arguments(), the program first. Throws
// UsageError with a message that names the bad argument.
Parsed parse(const QStringList& arguments);

// The --help text.
QString helpText();

}  // namespace cli
