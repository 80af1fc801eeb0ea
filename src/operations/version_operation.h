#pragma once

struct OperationContext;

// The "Get QZ4VELD Version" button: presence check, version query, and the
// completion label.
class VersionOperation final {
public:
    enum class Outcome { Succeeded, Failed, Aborted };

    explicit VersionOperation(OperationContext& context) : m_context(context) { }

    // Runs the whole operation inside the caller's click handler. The completion
    // label reads "Operation Successful" only when a device answered the presence
    // check and sent a non-empty version; otherwise "FAILED OPERATION". When the
    // waiter is asked to stop, the port is closed and Aborted comes back without
    // a completion text.
    Outcome run();

private:
    OperationContext& m_context;
};
