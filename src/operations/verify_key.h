#pragma once

class OperationView;
class Protocol;
struct RowTable;

// VerifyKey: reads one slot back from the device and compares it with the
// screen's row, for Verify (every row) and Send (every acknowledged block).
// It has no error handling of its own: a port failure ends the caller's run
// through the caller's error path.
class VerifyKey final {
public:
    VerifyKey(Protocol& protocol, RowTable& rows, OperationView& view)
        : m_protocol(protocol), m_rows(rows), m_view(view)
    { }

    // True when the device's slot holds the screen row's key and string. Sets the
    // row's picture (check mark or question mark), its tip on a mismatch, makes
    // the picture shown and puts it on screen when the row is on the current page.
    // Throws std::out_of_range for a row outside the table.
    bool check(int row);

private:
    Protocol& m_protocol;
    RowTable& m_rows;
    OperationView& m_view;
};
