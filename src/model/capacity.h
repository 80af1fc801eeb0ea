#pragma once

#include <QString>
#include <QStringList>

// String length (slot width 1..10) against how many rows the device holds at it.
namespace capacity {

inline constexpr int kMinLength = 1;
inline constexpr int kMaxLength = 10;
inline constexpr int kLengthCount = kMaxLength - kMinLength + 1;  // the StrConfig entries
inline constexpr int kDefaultListIndex = 5;  // 6 characters, 36 keys

// Capacity of a StrConfig list index 0..9 (min(93, 255 / (length + 1))); 0 for
// any other index, including the unused entry 10.
int maxKeysForIndex(int listIndex);

// The ten StrConfig entries, "1 Character  (up to 93 keys)" .. "10 Characters (up to 23 keys)".
QStringList lengthEntries();

constexpr bool isLength(int length)
{
    return length >= kMinLength && length <= kMaxLength;
}

// Whether NextPage may move from `page` (the next page's first row is usable).
bool canGoToNextPage(int page, int capacity);

}  // namespace capacity
