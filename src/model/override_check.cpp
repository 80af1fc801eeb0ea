#include "model/override_check.h"

namespace override_check {
namespace {

bool isUpperHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}

QString itemMessagePrefix(int line)
{
    return QStringLiteral("String entered for item # %1").arg(line + 1);
}

// Row numbers in the structure-check messages stand after a sign position.
QString signedRow(int row)
{
    return QLatin1Char(' ') + QString::number(row);
}

struct Pass final {
    QString text;  // the text after this pass's cut (unchanged when none)
    bool cut = false;
    bool counted = false;  // the pass reached the count (a hex-field cut ends it before)
    int count = 0;
    bool inHexField = false;
};

// One run of the check over `text`; a cut ends the run, and the caller checks
// the shorter text again, as the field's change event would.
Pass runOnce(const QString& text, int stringLength, int line, QStringList& messages)
{
    Pass pass;
    pass.text = text;
    int counter = 0;
    int cutPosition = 0;
    int fieldStart = 0;
    int digits = 0;
    bool inField = false;
    for (int p = 1; p <= text.size(); ++p) {
        const QChar c = text.at(p - 1);
        if (!inField) {
            if (c == u'{') {
                inField = true;
                fieldStart = p;
                digits = 0;
            } else if (++counter == stringLength) {
                cutPosition = p;
            }
        } else if (c == u'}') {
            inField = false;
            if (++counter == stringLength)
                cutPosition = p;
        } else {
            ++digits;
            if (digits > 2 || !isUpperHexDigit(c)) {
                messages << text.mid(fieldStart - 1)
                                + QStringLiteral(" only 2 HEX chars allowed within brackets (like {C7})");
                pass.text = text.left(fieldStart);
                pass.cut = true;
                pass.inHexField = true;
                return pass;
            }
        }
    }
    pass.counted = true;
    pass.count = counter;
    pass.inHexField = inField;

    if (counter > stringLength) {
        messages << itemMessagePrefix(line)
                        + QStringLiteral(" is too long .. max string length is %1 chars").arg(stringLength);
        pass.text = text.left(cutPosition);
        pass.cut = true;
        return pass;
    }
    if (text.size() > 2 && (text.contains(QLatin1String("{00")) || text.contains(QLatin1String("{0}")))) {
        messages << itemMessagePrefix(line) + QStringLiteral(" is invalid - cannot not use null {00} character");
        pass.text = text.left(text.size() - 2);
        pass.cut = true;
    }
    return pass;
}

}  // namespace

LiveResult liveCheck(const QString& text, int stringLength, int line)
{
    LiveResult result;
    result.text = text;
    // Every cut shortens the text, so this ends within text.size() passes.
    for (;;) {
        const Pass pass = runOnce(result.text, stringLength, line, result.messages);
        if (pass.counted)
            result.count = pass.count;
        result.inHexField = pass.inHexField;
        if (!pass.cut || pass.text == result.text) {
            result.text = pass.text;
            break;
        }
        result.text = pass.text;
    }
    return result;
}

QString structureCheck(const QString& text, int row)
{
    const QString rowText = signedRow(row);
    bool inside = false;
    int digits = 0;
    for (int p = 1; p <= text.size(); ++p) {
        const QChar c = text.at(p - 1);
        if (!inside) {
            if (c == u'{') {
                inside = true;
                digits = 0;
            } else if (c.unicode() < 32 || c.unicode() > 126) {
                return QStringLiteral("Key String #") + rowText
                        + QStringLiteral(" contains an invalid character at position %1").arg(p);
            }
        } else if (c == u'}') {
            inside = false;
            if (digits == 0)
                return QStringLiteral("Hexadecimal brackets in string do not contain any hex characters");
        } else if (isUpperHexDigit(c)) {
            ++digits;
        } else {
            return QStringLiteral("Key String #") + rowText
                    + QStringLiteral("contains invalid hex character at position %1").arg(p);
        }
    }
    if (inside)
        return QStringLiteral("Key String #") + rowText
                + QStringLiteral(" cannot end with an open hexadecimal field { bracket");
    return {};
}

}  // namespace override_check
