#pragma once

#include <QList>

class Protocol;
struct OperationContext;

// The Read button: adopts the device's string length and fills the override
// rows from its slots.
class ReadOperation final {
public:
    enum class Outcome { Succeeded, Incomplete, Failed };

    explicit ReadOperation(OperationContext& context) : m_context(context) { }

    // Runs the whole operation inside the caller's click handler. The table is
    // emptied only once the device has answered with a valid string length, so a
    // missing or wrong device leaves the operator's rows as they were. When the
    // waiter is asked to stop, the port is closed and OperationAborted passes on.
    // Incomplete: the run completed but rowsNotRead() rows drew no usable answer
    // (silence, the error reply, an answer that is not one whole slot); they stay
    // empty, carry the question mark, and one status line names them.
    Outcome run();

    int rowsNotRead() const { return static_cast<int>(m_notRead.size()); }
    const QList<int>& notReadRows() const { return m_notRead; }

private:
    // Reads the string length and every slot; run() frames it.
    Outcome readTable(Protocol& protocol);
    OperationContext& m_context;
    QList<int> m_notRead;
};
