#pragma once

#include <QSerialPort>
#include <QString>

// Why a serial device would not open, in words an operator can act on.
namespace serial_errors {

// What the system says about the device node, gathered after a failed open.
struct NodeFacts final {
    int accessErrno = 0;  // errno of access(R_OK | W_OK); 0 when granted
    QString owner;  // the node's owner and group by name
    QString group;
    int mode = 0;  // permission bits
    bool userInGroup = false;  // the user belongs to the group (its primary group, or listed in /etc/group)
    bool sessionInGroup = false;  // this process already runs with that group
    QString holder;  // another program holding it, "" when none was found
    QString mappedAs;  // "COM3" when the path came from that [PORTS] entry
};

NodeFacts inspect(const QString& path);

// A device that is gone says so (for a [PORTS] entry: which one, and what to
// do); a permission problem names the group to join only when joining it would
// help; a port held elsewhere says by whom when that is known.
QString describeOpenFailure(const QString& path, QSerialPort::SerialPortError error, const QString& errorText,
                            const NodeFacts& facts);

}  // namespace serial_errors
