#pragma once

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
    Outcome run();

    int failedRows() const { return m_failed; }

private:
    // Compares every slot with its row; run() frames it.
    Outcome verifyTable(Protocol& protocol);
    OperationContext& m_context;
    int m_failed = 0;
};
