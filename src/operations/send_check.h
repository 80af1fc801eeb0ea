#pragma once

#include <QString>

#include <optional>

struct RowTable;

namespace send_check {

// Looks at every row the string length (list index 0..9) uses before anything
// is sent, in row order: a string longer than the slot, one ending inside an
// open field ("a{4"), or one with no device bytes (an empty or non-hex field,
// {00}, a field above FF, a literal NUL, a character above U+00FF). The message for the first such row, naming it;
// std::nullopt when every row can go out as a whole block.
std::optional<QString> firstUnsendableRow(const RowTable& rows, int lengthIndex);

// The same check for one row's string at string length `length` (1..10).
std::optional<QString> rowRefusal(int row, const QString& string, int length);

}  // namespace send_check
