#pragma once

#include <QStringView>

#include <optional>

namespace files {

// The whole number a text starts with: leading blanks, an optional sign, then
// decimal digits; whatever follows is ignored, so "3 chars" and "6.0" give 3
// and 6. std::nullopt when no digit comes first ("", "x3", "-"). A number too
// large for any use comes back as kHuge with its sign, so range checks still
// refuse it.
inline constexpr qint64 kHuge = qint64(1) << 53;
std::optional<qint64> leadingNumber(QStringView text);

}  // namespace files
