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

std::optional<QByteArray> toDeviceBytes(const QString& text, int length)
{
    QByteArray bytes;
    bool inside = false;
    QString digits;
    for (const QChar c : text) {
        if (!inside) {
            if (c == u'{') {
                inside = true;
                digits.clear();
                continue;
            }
            // A NUL would end the string on the device like a {00}; no byte
            // stands for a character above U+00FF.
            if (c.unicode() == 0 || c.unicode() > 0xFF)
                return std::nullopt;
            bytes.append(static_cast<char>(c.unicode()));
        } else if (c == u'}') {
            // A field must stand for one byte 0x01..0xFF: an empty field or a 0x00
            // would end the string on the device, a larger value has no byte.
            const int value = fieldValue(digits);
            if (value < 1 || value > 0xFF)
                return std::nullopt;
            bytes.append(static_cast<char>(value));
            inside = false;
        } else {
            digits.append(c);
        }
    }
    // A field still open at the end adds nothing.
    while (bytes.size() < length)
        bytes.append('\0');
    return bytes;
}

bool checkLen(const QString& text, int maxLength)
{
    int count = 0;
    bool inside = false;
    for (const QChar c : text) {
        if (!inside) {
            if (c == u'{') {
                if (count == maxLength)
                    return true;
                inside = true;
            } else if (++count > maxLength) {
                return true;
            }
        } else if (c == u'}') {
            ++count;
            inside = false;
        }
    }
    return count > maxLength;
}

int itemCount(const QString& text)
{
    int count = 0;
    bool inside = false;
    for (const QChar c : text) {
        if (!inside) {
            if (c == u'{')
                inside = true;
            else
                ++count;
        } else if (c == u'}') {
            ++count;
            inside = false;
        }
    }
    return inside ? count + 1 : count;
}

QString textToHexFields(const QString& text)
{
    QString out;
    bool inside = false;
    for (const QChar c : text) {
        if (inside) {
            out.append(c);
            inside = c != u'}';
        } else if (c == u'{') {
            out.append(c);
            inside = true;
        } else {
            out.append(field(c.unicode(), 2));
        }
    }
    return out;
}

namespace {

// Rewrites a notation string item by item: each literal through `literal`, each
// closed field through `closedField` (given its digits), an open field at the
// end copied as written.
template <typename Literal, typename ClosedField>
QString rewriteItems(const QString& text, Literal literal, ClosedField closedField)
{
    QString out;
    bool inside = false;
    QString digits;
    for (const QChar c : text) {
        if (!inside) {
            if (c == u'{') {
                inside = true;
                digits.clear();
            } else {
                out.append(literal(c));
            }
        } else if (c == u'}') {
            out.append(closedField(digits));
            inside = false;
        } else {
            digits.append(c);
        }
    }
    if (inside)
        out.append(QLatin1Char('{') + digits);
    return out;
}

QString asWritten(const QString& digits)
{
    return QLatin1Char('{') + digits + QLatin1Char('}');
}

}  // namespace

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
