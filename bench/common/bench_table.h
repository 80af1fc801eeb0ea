#pragma once

// What the benchmark programs share: a fixed table to send and a message sink
// that prints instead of asking.

#include "model/capacity.h"
#include "model/key_table.h"
#include "model/messages.h"
#include "model/row_table.h"

#include <QString>
#include <cstdio>

class PrintedMessages final : public Messages {
public:
    void info(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool confirm(const QString&, const QString&) override { return false; }
    void beep() override {}
};

// Every usable row with a key and a string of the full width, printable
// characters and fields mixed, the same table for every run.
inline void fillTable(RowTable& rows, int length)
{
    const int count = capacity::maxKeysForIndex(length - 1);
    for (int r = 0; r < count; ++r) {
        const auto index = static_cast<std::size_t>(r);
        rows.keyNames.at(index) = key_table::records().at(index).keyName;
        QString text;
        for (int i = 0; i < length; ++i)
            text += (i + r) % 3 == 0 ? QStringLiteral("{%1}").arg((r + i) % 200 + 1, 2, 16, QLatin1Char('0')).toUpper()
                                     : QString(QLatin1Char(static_cast<char>('a' + (r + i) % 26)));
        rows.strings.at(index) = text;
    }
}
