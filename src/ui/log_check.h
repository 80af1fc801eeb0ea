#pragma once

#include <QString>

// Whether the operator's log file could be appended to, asked when logging is
// switched on with nothing to write yet (the file is only created by the next
// status line).
namespace log_check {

// Throws std::runtime_error with a plain description when `path` could not be
// appended to: its folder is missing or read-only, or the path is a read-only
// file or not a file. Creates nothing.
void checkAppendable(const QString& path);

}  // namespace log_check
