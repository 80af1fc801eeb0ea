#pragma once

#include "operations/send_progress.h"

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

    int failedBlocks() const { return m_progress.failed; }
    // After a run that did not end normally (stopped, failed, the string length
    // not acknowledged): what the device now holds, in one sentence; "" when its
    // table was not touched.
    QString deviceHolds() const { return m_progress.whatTheDeviceHolds(); }

private:
    // Sets the string length and writes every row; run() frames it.
    Outcome sendTable(Protocol& protocol);

    OperationContext& m_context;
    SendProgress m_progress;
};
