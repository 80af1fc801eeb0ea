#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct RowTable;
namespace config_file {
struct LoadSummary;
}

namespace cli {

struct Console;

// Something about a table that send refuses (nothing is sent) or only warns about
// (it is sent, but the device will not hold what the file seems to say).
struct TableFinding final {
    bool refused = false;
    int row = -1;
    QString text;
};

// Every finding of the rows a file gives (0..92) at string length index
// lengthIndex, row by row: within the capacity a string longer than the slot, a
// string with no device bytes, a key name the device has no scan code for (all
// refused), a key already used by an earlier row (warned); beyond the capacity
// any row with a key or string (warned: it is not sent).
QList<TableFinding> tableFindings(const RowTable& rows, int lengthIndex);

// What a file's row lines do that is allowed but rarely meant, one line each: a
// row set by more than one line, rows the string length uses that no line names
// (they go out empty).
QStringList fileWarnings(const config_file::LoadSummary& summary, int lengthIndex);

// qz4veld-cli check FILE: reads the file with the window's reader and prints,
// one line each, every line the reader complains about and every finding, then
// a count. With `strict` every warning is a refusal, as --strict send takes it.
// Returns 0 when nothing was found, 1 when something was, 2 when the file
// cannot be read at all.
int runCheck(const QString& path, bool strict, Console& console);

}  // namespace cli
