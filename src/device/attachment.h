#pragma once

#include <QString>

class Messages;
class Protocol;

// Outcome of CheckAttached.
struct AttachCheck final {
    // "" when a device answered with the presence mark, else the text to report:
    // "QZ4VELDT not responsing on port COM<n>" or
    // "Not a QZ4VELDT that is connected (received 0x<hex>)".
    QString result;
    int tries = 0;  // probes sent
    bool linkFailed = false;  // the serial layer failed and its message was shown
    bool attached() const { return result.isEmpty(); }
};

// Up to 8 presence probes, one " *" added to the "Check for QZ4VELDT attached"
// line per try. A serial failure is shown as "Error checking for QZ4VELD
// attachment- <description>" and ends the check with the result so far.
// Leaves the port open. OperationAborted passes through.
AttachCheck checkAttached(Protocol& protocol, Messages& messages, int comPort);

// Outcome of RequestVersion.
struct VersionResult final {
    AttachCheck attach;
    bool queried = false;  // "V" went out and its wait ran
    QString version;  // the device's answer as text, "" when none
    bool failed = false;  // an error was reported in a message box
    bool succeeded() const { return attach.attached() && queried && !version.isEmpty() && !failed; }
};

// Clears the status list, checks the device, asks for its version and closes
// the port. Errors are shown as "Error getting code version. <description>".
// When the port itself failed during the check, the query is not attempted: the
// check's message already says why, and a second box for the same cause would
// only repeat it.
VersionResult requestVersion(Protocol& protocol, Messages& messages, int comPort);
