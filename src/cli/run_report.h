#pragma once

#include "cli/cli_options.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace cli {

// What one device of a run over several came to, as the summary shows it.
struct DeviceReport final {
    QString port;  // as given (--port, or the path the search found)
    QString label;  // the prefix of its lines
    bool ok = false;
    bool interrupted = false;
    int failed = 0;  // send: failed blocks; verify: failed rows
    QString completion;  // the completion text, "" when none was shown
    QString version;  // the device's answer to the version query
    QString message;  // the last message box's text: why it failed
    double seconds = 0;
    QString holds;  // a send that ended early or was stopped: what the device now holds
};

// The command's name as typed.
QString commandName(Command command);

// "Successful Operation", "FATAL ERROR (Error sending to ...)" with the first
// line of the message that says why; a send that ended early or was stopped
// adds what the device now holds.
QString resultText(const DeviceReport& report);

// The summary table: a header and one line per device, columns aligned.
QByteArray summaryTable(Command command, const QList<DeviceReport>& reports);

// One device's JSON object: port, operation, ok, failed, completion, seconds,
// message (and version for the version command).
QJsonObject jsonObject(Command command, const DeviceReport& report);

// One compact JSON object per device, one per line: port, operation, ok,
// failed, completion, seconds, message (and version for the version command).
QByteArray jsonLines(Command command, const QList<DeviceReport>& reports);

}  // namespace cli
