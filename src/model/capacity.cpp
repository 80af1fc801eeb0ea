#include "model/capacity.h"

namespace capacity {

int maxKeysForIndex(int listIndex)
{
    if (listIndex < 0 || listIndex >= kLengthCount)
        return 0;
    const int length = listIndex + 1;
    const int byBytes = 255 / (length + 1);
    return byBytes < 93 ? byBytes : 93;
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
    return (page + 1) * 24 < capacity;
}

}  // namespace capacity
