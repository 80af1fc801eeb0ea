#pragma once

#include "model/row_table.h"

#include <QMetaType>
#include <QStringList>

// One cell of the fault matrix: an operation run over the real serial link and
// event-loop waiter against qz4veld-sim started with some misbehaviour, and what
// the operator must see afterwards.
namespace faults {

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

// Runs one scenario against a fresh simulator and returns what did not hold (empty =
// pass). Still waiting after limitMs counts as hung. A single entry starting with
// kCannotArrange: this machine cannot set the scenario up (root without "nobody").
inline constexpr char kCannotArrange[] = "cannot arrange: ";
QStringList run(const Scenario& scenario, int limitMs);

// `<test> --hold-port <path>` opens the port, prints "held", keeps it until stdin closes.
inline constexpr char kHoldPortArgument[] = "--hold-port";
int holdPort(const char* path);

}  // namespace faults

Q_DECLARE_METATYPE(faults::Scenario)
