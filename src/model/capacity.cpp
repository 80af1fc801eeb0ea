#include "model/capacity.h"

#include "model/row_table.h"

#include <algorithm>

namespace capacity {
namespace {

constexpr int kMemoryBytes = 255;  // a slot takes its string length plus the scan code

}  // namespace

int maxKeysForIndex(int listIndex)
{
    if (listIndex < 0 || listIndex >= kLengthCount)
        return 0;
    const int length = listIndex + 1;
    return std::min(kMemoryBytes / (length + 1), RowTable::kDeviceSlots);
}

QStringList lengthEntries()
{
    QStringList entries;
    for (int i = 0; i < kLengthCount; ++i) {
        const int length = i + 1;
        // The first entry carries two blanks so that the columns line up.
        const QString chars = length == 1 ? QStringLiteral("Character ") : QStringLiteral("Characters");
        entries << QStringLiteral("%1 %2 (up to %3 keys)").arg(length).arg(chars).arg(maxKeysForIndex(i));
    }
    return entries;
}

bool canGoToNextPage(int page, int capacity)
{
    return (page + 1) * RowTable::kLinesPerPage < capacity;
}

}  // namespace capacity
