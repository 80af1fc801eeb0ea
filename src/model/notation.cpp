#include "model/notation.h"

namespace notation {
namespace {

// Value of a field's digits: any count of hex digits (either case), or -1 when
// the field is empty or holds a character that is not a hex digit.
int fieldValue(const QString& digits)
{
    if (digits.isEmpty())
        return -1;
    int value = 0;
    for (const QChar c : digits) {
        int d = -1;
        if (c >= u'0' && c <= u'9')
            d = c.unicode() - '0';
        else if (c >= u'A' && c <= u'F')
            d = c.unicode() - 'A' + 10;
        else if (c >= u'a' && c <= u'f')
            d = c.unicode() - 'a' + 10;
        if (d < 0)
            return -1;
        value = value * 16 + d;
        if (value > 0xFFFF)
            value = 0x10000;  // saturate: any such field is out of range anyway
    }
    return value;
}

QString field(int value, int width)
{
    return QLatin1Char('{') + hex(value, width) + QLatin1Char('}');
}

}  // namespace

QString hex(int value, int width)
{
    return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

namespace {

// The one reading of the notation: walks `text` item by item, each literal
// character to `literal`, the digits of each closed field to `closedField`;
// either returns false to end the walk there. Gives the digits of a field still
// open at the end of the text (none when the walk was ended early).
template <typename Literal, typename ClosedField>
std::optional<QString> walkItems(const QString& text, Literal literal, ClosedField closedField)
{
    bool inside = false;
    QString digits;
    for (const QChar c : text) {
        if (!inside) {
            if (c == u'{') {
                inside = true;
                digits.clear();
            } else if (!literal(c)) {
                return std::nullopt;
            }
        } else if (c == u'}') {
            inside = false;
            if (!closedField(digits))
                return std::nullopt;
        } else {
            digits.append(c);
        }
    }
    return inside ? std::optional<QString>(digits) : std::nullopt;
}

// Rewrites a notation string item by item: each literal through `literal`, each
// closed field through `closedField` (given its digits), an open field at the
// end copied as written.
template <typename Literal, typename ClosedField>
QString rewriteItems(const QString& text, Literal literal, ClosedField closedField)
{
    QString out;
    const std::optional<QString> open = walkItems(
            text,
            [&](QChar c) {
                out.append(literal(c));
                return true;
            },
            [&](const QString& digits) {
                out.append(closedField(digits));
                return true;
            });
    if (open)
        out.append(QLatin1Char('{') + *open);
    return out;
}

QString asWritten(const QString& digits)
{
    return QLatin1Char('{') + digits + QLatin1Char('}');
}

}  // namespace

std::optional<QByteArray> toDeviceBytes(const QString& text, int length)
{
    QByteArray bytes;
    bool sound = true;
    // A field still open at the end adds nothing.
    walkItems(
            text,
            [&](QChar c) {
                // A NUL would end the string on the device like a {00}; no byte
                // stands for a character above U+00FF.
                sound = c.unicode() != 0 && c.unicode() <= 0xFF;
                bytes.append(static_cast<char>(c.unicode()));
                return sound;
            },
            [&](const QString& digits) {
                // A field must stand for one byte 0x01..0xFF: an empty field or a 0x00
                // would end the string on the device, a larger value has no byte.
                const int value = fieldValue(digits);
                sound = value >= 1 && value <= 0xFF;
                bytes.append(static_cast<char>(value));
                return sound;
            });
    if (!sound)
        return std::nullopt;
    while (bytes.size() < length)
        bytes.append('\0');
    return bytes;
}

bool checkLen(const QString& text, int maxLength)
{
    return itemCount(text) > maxLength;
}

int itemCount(const QString& text)
{
    int count = 0;
    const auto counted = [&count](auto&&) {
        ++count;
        return true;
    };
    return walkItems(text, counted, counted) ? count + 1 : count;
}

QString textToHexFields(const QString& text)
{
    return rewriteItems(
            text, [](QChar c) { return field(c.unicode(), 2); }, asWritten);
}

QString comparisonForm(const QString& text)
{
    return rewriteItems(
            text, [](QChar c) { return field(c.unicode(), 2); },
            [](const QString& digits) {
                const int value = fieldValue(digits);
                return value >= 0 && value <= 0xFF ? field(value, 2) : asWritten(digits);
            });
}

QString hexFieldsToText(const QString& text, bool* ok)
{
    bool sound = true;
    const QString out = rewriteItems(
            text, [](QChar c) { return QString(c); },
            [&sound](const QString& digits) {
                const int value = fieldValue(digits);
                sound = sound && value >= 0;
                return value >= 32 && value <= 125 ? QString(QChar(value)) : asWritten(digits);
            });
    if (ok)
        *ok = sound;
    return out;
}

QString fromDeviceBytes(const QByteArray& bytes)
{
    QString out;
    for (const char ch : bytes) {
        const int b = static_cast<unsigned char>(ch);
        if (b == 0)
            break;
        // "{" would open a field on screen and the byte would be lost on the next
        // send, so it is written as a field like the unprintable bytes.
        if (b >= 0x21 && b <= 0x7E && b != '{')
            out.append(QChar(b));
        else
            out.append(field(b, 2));
    }
    return out;
}

}  // namespace notation
