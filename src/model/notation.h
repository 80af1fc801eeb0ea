#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The override-string notation: printable characters, other bytes as {h} or {hh}.
namespace notation {

inline constexpr int kMaxFieldText = 46;  // characters a string field accepts

// Device form of a notation string: item bytes, then 0x00 up to `length` bytes.
// std::nullopt when a field's value is 0x00, exceeds 0xFF or is not hexadecimal,
// or a literal character is a NUL or above U+00FF: such a string has no device
// form and must never go out as a short block.
std::optional<QByteArray> toDeviceBytes(const QString& text, int length);

// True when the number of items exceeds maxLength (an open field counts).
bool checkLen(const QString& text, int maxLength);

// Number of items (literal characters and fields; an open field counts once).
int itemCount(const QString& text);

// TextToHexFields: every literal as {hh}; existing fields copied unchanged.
QString textToHexFields(const QString& text);

// Comparison form: every item as {HH} (two upper-case digits), so {D}, {0d} and a
// device byte 0x0D all compare equal. A field that has no value is kept as written.
QString comparisonForm(const QString& text);

// HexFieldsToText: fields 32..125 become the character, other fields stay.
// `ok` is set false when a field has no digits or a non-hex digit (kept as written).
QString hexFieldsToText(const QString& text, bool* ok = nullptr);

// Bytes read from the device to notation: 0x21..0x7E literal (but "{"), 0x00 ends, else {HH}.
QString fromDeviceBytes(const QByteArray& bytes);

// Upper-case hex of a byte value with at least `width` digits ("{0A}" style uses 2).
QString hex(int value, int width = 1);

}  // namespace notation
