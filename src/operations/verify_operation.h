#pragma once

#include <QList>

class Protocol;
struct OperationContext;

// The VerifyBtn button: adopts the device's string length and compares every
// slot it can hold with the screen's rows, marking each row.
class VerifyOperation final {
public:
    enum class Outcome { Succeeded, Mismatched, Failed };

    explicit VerifyOperation(OperationContext& context) : m_context(context) { }

    // Runs the whole operation inside the caller's click handler. Succeeded: every
    // row compared matched; Mismatched: the run completed with failed rows
    // (failedRows()); Failed: it ended early. When the waiter is asked to stop, the
    // port is closed and OperationAborted passes on.
    // Rows that hold a key or a string beyond what the device's string length
    // keeps are never compared: they count as failed, carry the question mark
    // and one status line names them.
    Outcome run();

    // The table's string length is compared too (a file named on the command
    // line): a device at another length fails the verification once. The window
    // adopts the device's length instead.
    void compareStringLength() { m_compareLength = true; }

    int failedRows() const { return m_failed; }

private:
    void failRowsBeyond(int rowCount, int length);

    // Compares every slot with its row; run() frames it.
    Outcome verifyTable(Protocol& protocol);
    OperationContext& m_context;
    int m_failed = 0;
    bool m_compareLength = false;
    QList<int> m_beyond;
};
