#pragma once

class Protocol;
struct OperationContext;

// The Send button: sets the device's string length and writes one block per
// usable row, reading each acknowledged block back at once.
class SendOperation final {
public:
    enum class Outcome { Succeeded, Incomplete, Failed };

    explicit SendOperation(OperationContext& context) : m_context(context) { }

    // Runs the whole operation inside the caller's click handler. Succeeded: every
    // block was acknowledged and read back as sent; Incomplete: the run completed
    // but failedBlocks() rows did not make it (not acknowledged, read back
    // differently, or not sendable); Failed: it ended early. Each row's key and
    // string are taken when its block is built. When the waiter is asked to stop,
    // the port is closed and OperationAborted passes on.
    Outcome run();

    int failedBlocks() const { return m_failed; }

private:
    // Sets the string length and writes every row; run() frames it.
    Outcome sendTable(Protocol& protocol);
    // A run that stops once the string length has gone out (an error, or
    // OperationAborted) has left the device with part of a table: its last
    // status line says which rows the device now holds.
    void tellWhatTheDeviceHolds();

    OperationContext& m_context;
    int m_failed = 0;
    bool m_lengthSent = false;
    int m_lastWritten = -1;  // the last row whose block went out whole
};
