#include "cli/table_check.h"

#include "cli/console_status.h"
#include "cli/runner.h"

#include "files/config_file.h"
#include "model/capacity.h"
#include "model/key_table.h"
#include "model/row_table.h"
#include "operations/send_check.h"

#include <QDir>
#include <QHash>
#include <QIODevice>

namespace cli {

namespace {

void checkSentRow(QList<TableFinding>& findings, int row, const QString& keyName, const QString& string, int length)
{
    // The same rule and words as the window's Send.
    if (const std::optional<QString> refusal = send_check::rowRefusal(row, string, length))
        findings.append({true, row, *refusal});
    // The window would send scan code 00, which the read-back can never
    // confirm; a misspelt key is caught before the device is touched.
    if (!keyName.isEmpty() && key_table::scancodeForKeyName(keyName) == 0)
        findings.append({true, row,
                         QStringLiteral("Row %1: the key name \"%2\" is not in the key table").arg(row).arg(keyName)});
}

// Numbers as short text: "4", "4 and 5", "0 to 22", "3, 7 and 10 to 12".
QString numberList(const QList<int>& numbers)
{
    QStringList parts;
    for (qsizetype i = 0; i < numbers.size();) {
        qsizetype last = i;
        while (last + 1 < numbers.size() && numbers.at(last + 1) == numbers.at(last) + 1)
            ++last;
        if (last - i >= 2) {
            parts << QStringLiteral("%1 to %2").arg(numbers.at(i)).arg(numbers.at(last));
        } else {
            for (qsizetype k = i; k <= last; ++k)
                parts << QString::number(numbers.at(k));
        }
        i = last + 1;
    }
    const QString lastPart = parts.isEmpty() ? QString() : parts.takeLast();
    return parts.isEmpty() ? lastPart : parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + lastPart;
}

}  // namespace

QStringList fileWarnings(const config_file::LoadSummary& summary, int lengthIndex)
{
    QStringList warnings;
    for (auto it = summary.linesOfRow.cbegin(); it != summary.linesOfRow.cend(); ++it) {
        if (it->size() > 1)
            warnings << QStringLiteral("Row %1 is set %2 times (lines %3); the last line counts")
                                .arg(it.key())
                                .arg(it->size())
                                .arg(numberList(*it));
    }
    QList<int> missing;
    for (int r = 0; r < capacity::maxKeysForIndex(lengthIndex); ++r) {
        if (!summary.linesOfRow.contains(r))
            missing << r;
    }
    if (!missing.isEmpty())
        warnings << QStringLiteral("Rows %1 are not in the file; they are taken as empty").arg(numberList(missing));
    return warnings;
}

QList<TableFinding> tableFindings(const RowTable& rows, int lengthIndex)
{
    const int length = lengthIndex + 1;
    const int capacity = capacity::maxKeysForIndex(lengthIndex);
    QList<TableFinding> findings;
    QHash<int, int> firstRowOfScancode;
    for (int r = 0; r <= config_file::kLastRowRead; ++r) {
        const auto index = static_cast<std::size_t>(r);
        const QString& keyName = rows.keyNames.at(index);
        const QString& string = rows.strings.at(index);
        if (r >= capacity) {
            if (!keyName.isEmpty() || !string.isEmpty())
                findings.append({false, r,
                                 QStringLiteral("Row %1 is beyond the %2 rows string length %3 holds: it is not sent")
                                         .arg(r)
                                         .arg(capacity)
                                         .arg(length)});
            continue;
        }
        checkSentRow(findings, r, keyName, string, length);
        const int scancode = keyName.isEmpty() ? 0 : key_table::scancodeForKeyName(keyName);
        if (scancode == 0)
            continue;
        const int first = firstRowOfScancode.value(scancode, -1);
        if (first >= 0)
            findings.append(
                    {false, r,
                     QStringLiteral("Row %1: the key \"%2\" is also in row %3").arg(r).arg(keyName).arg(first)});
        else
            firstRowOfScancode.insert(scancode, r);
    }
    return findings;
}

int runCheck(const QString& path, bool strict, Console& console)
{
    RowTable rows;
    int lengthIndex = capacity::kDefaultListIndex;
    const config_file::LoadSummary summary =
            config_file::applyTo(rows, path, [&lengthIndex](int length) { lengthIndex = length - 1; });
    const auto print = [&console](QIODevice& device, const QString& text) {
        device.write((terminalSafe(text) + QLatin1Char('\n')).toUtf8());
    };
    if (!summary.complete()) {
        print(console.err, QLatin1String(kProgramName) + QStringLiteral(": ") + summary.openError);
        return kExitUsage;
    }
    QList<TableFinding> findings;
    for (const QString& error : summary.lineErrors)
        findings.append({true, -1, error});
    if (summary.rowLines == 0)
        findings.append({true, -1, QStringLiteral("no row lines: it is not a configuration file")});
    for (const QString& warning : fileWarnings(summary, lengthIndex))
        findings.append({false, -1, warning});
    findings += tableFindings(rows, lengthIndex);

    int refused = 0;
    for (const TableFinding& finding : std::as_const(findings)) {
        const bool refusal = finding.refused || strict;
        refused += refusal ? 1 : 0;
        print(console.out, (refusal ? QStringLiteral("refused: ") : QStringLiteral("warning: ")) + finding.text);
    }
    print(console.out,
          QStringLiteral("%1: string length %2, %3 refused, %4 warnings")
                  .arg(QDir::toNativeSeparators(path))
                  .arg(lengthIndex + 1)
                  .arg(refused)
                  .arg(findings.size() - refused));
    return findings.isEmpty() ? kExitSucceeded : kExitNotSucceeded;
}

}  // namespace cli
