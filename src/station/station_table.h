#pragma once

#include "model/row_table.h"

#include <QByteArray>
#include <QString>

// The table a station programs into every device: the rows, the string length
// (its list index 0..9) and the file it came from.
struct StationTable final {
    RowTable rows;
    int lengthIndex = 0;
    QString name;  // the file name the record shows

    int stringLength() const { return lengthIndex + 1; }
    // The rows the string length sends.
    int rowCount() const;
    // What Send writes after the presence check: "/L" and the length digit,
    // then every row's block ("/W", row, scan code, slot bytes). A row whose
    // string has no device bytes adds nothing (Send refuses such a table).
    QByteArray sentBytes() const;
    // SHA-256 of sentBytes() in lower-case hex: two files with the same
    // content give the same value, whatever their notes, dates or layout.
    QString sha256() const;
};
