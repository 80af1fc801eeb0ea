#pragma once

#include "cli/cli_options.h"
#include "cli/runner.h"
#include "files/settings.h"

namespace cli {

// qz4veld-cli station: the table (already checked) programmed into every
// device that answers on the --port ports, one result line per device:
// "[ttyUSB0] #12 OK  QZ4VELD V2.10  6.1 s" or "[ttyUSB1] #13 FAILED  <why>";
// on a terminal one status line per port and the running total below them.
// Ends on Ctrl-C or SIGTERM (130) or after --count devices ended OK: 0 when
// every device ended OK, 1 when one did not. A record or port that cannot be
// used before the start throws UsageError.
int runStation(const Options& options, const TableFile& table, const Settings& settings, Console& console);

}  // namespace cli
