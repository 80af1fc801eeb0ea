#include "operations/send_check.h"

#include "model/capacity.h"
#include "model/notation.h"
#include "model/row_table.h"

namespace send_check {

namespace {

// The string as the operator can read it in a message: control characters as
// {hh}, so a NUL neither cuts the message nor hides where it stands.
QString shown(const QString& string)
{
    QString out;
    for (const QChar c : string)
        out += c.unicode() < 0x20 ? QLatin1Char('{') + notation::hex(c.unicode(), 2) + QLatin1Char('}') : QString(c);
    return out;
}

}  // namespace

std::optional<QString> rowRefusal(int row, const QString& string, int length)
{
    if (notation::checkLen(string, length))
        return QStringLiteral("String at position %1 is longer than %2. This is invalid and you must fix it before "
                              "continuing.")
                .arg(row)
                .arg(length);
    // The device would get the string without the open field, and the read-back
    // could never match; the operator meant a byte that is not there.
    if (string.lastIndexOf(QLatin1Char('{')) > string.lastIndexOf(QLatin1Char('}')))
        return QStringLiteral("Row %1: the string \"%2\" cannot end with an open hexadecimal field { bracket")
                .arg(row)
                .arg(shown(string));
    if (!notation::toDeviceBytes(string, length))
        return QStringLiteral("Row %1: the string \"%2\" cannot be converted to device bytes (every character must "
                              "be one byte other than 00 and every {..} field a hexadecimal value from 01 to FF)")
                .arg(row)
                .arg(shown(string));
    return std::nullopt;
}

std::optional<QString> firstUnsendableRow(const RowTable& rows, int lengthIndex)
{
    const int rowCount = capacity::maxKeysForIndex(lengthIndex);
    for (int r = 0; r < rowCount; ++r) {
        if (std::optional<QString> refusal =
                    rowRefusal(r, rows.strings.at(static_cast<std::size_t>(r)), lengthIndex + 1))
            return refusal;
    }
    return std::nullopt;
}

}  // namespace send_check
