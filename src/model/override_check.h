#pragma once

#include <QString>
#include <QStringList>

// The checks that run on a string field: the live check on every change and the
// structure check when the field loses focus.
namespace override_check {

struct LiveResult final {
    QString text;  // the text after every cut (what is stored in the row)
    int count = 0;  // caption of the line's length label
    bool inHexField = false;  // the text examined last ends inside an open field
    QStringList messages;  // message boxes, in the order they appear
};

// CheckOverrideString for line `line` (messages number it as item line + 1),
// including the re-checks that each cut triggers, until the text is stable.
LiveResult liveCheck(const QString& text, int stringLength, int line);

// Structure check on loss of focus; returns the message, or "" when the text is sound.
QString structureCheck(const QString& text, int row);

}  // namespace override_check
