#pragma once

#include "model/row_table.h"

#include <QMetaType>
#include <QString>
#include <QStringList>

// One cell of the fault matrix: an operation run over the real serial link and
// event-loop waiter against qz4veld-sim started with some misbehaviour, and what
// the operator must see afterwards.
namespace faults {

enum class Op { Version, Read, Verify, Send };
// How the port can be reached: normally, only by a user the device node refuses,
// or while another process holds it open.
enum class Access { Open, Denied, Held };
enum class TableAfter {
    Kept,          // key names and strings exactly as before the run
    Device,        // the device's table (a Read that went through)
    DevicePrefix,  // the device's first `prefixRows` rows, the rest empty (Read cut off)
};

struct Scenario final {
    Op op = Op::Version;
    QStringList simArgs;
    Access access = Access::Open;
    bool succeeds = false;
    QString completion;   // the completion label, "" = not shown
    QString message;      // the one message box ("%1" = device path), "" = none
    QString line;         // a status line that must be there ("%1" = device path), "" = none
    TableAfter table = TableAfter::Kept;
    int prefixRows = 0;
};

// Device and screen hold 23 rows at string length 10, differently, so that a
// Read that replaces the screen's table can be told from one that kept it.
RowTable deviceTable();
RowTable screenTable();

// Runs one scenario against a fresh simulator and returns what did not hold;
// an empty list is a pass. An operation still waiting after limitMs is stopped
// through its waiter and counted as hung. A single entry starting with
// kCannotArrange means the machine cannot set the scenario up (a root run in a
// namespace without an unprivileged user to switch to).
inline constexpr char kCannotArrange[] = "cannot arrange: ";
QStringList run(const Scenario& scenario, int limitMs);

// The helper process that holds a port open: `<test> --hold-port <path>` opens
// it, prints "held" and keeps it until its standard input closes.
inline constexpr char kHoldPortArgument[] = "--hold-port";
int holdPort(const char* path);

}  // namespace faults

Q_DECLARE_METATYPE(faults::Scenario)
