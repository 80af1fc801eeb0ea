#pragma once

#include "cli/cli_options.h"
#include "cli/runner.h"
#include "files/settings.h"

namespace cli {

// The command on several devices at once (several --port, --port auto-all, or
// --json), each device on a thread of its own running the same code a single
// run does. Every port is opened before anything is sent; when one cannot be
// opened nothing is sent to any (UsageError). Lines carry their port as
// "[label] "; a summary table ends the run, and with --json one JSON object
// per device goes to standard output. Returns 0 when every device succeeded,
// 130 after Ctrl-C or SIGTERM, else 1.
int runMany(const Options& options, const TableFile& table, const Settings& settings, Console& console);

// Throws UsageError when a port leads to the same device as an earlier one.
void checkDistinct(const QList<ChosenPort>& ports);

// The file name pattern with {port} as the label, "/" made "_".
QString withPort(const QString& pattern, const QString& label);

}  // namespace cli
