#pragma once

struct OperationContext;

// The "Get QZ4VELD Version" button: presence check, version query, and the
// completion label.
class VersionOperation final {
public:
    enum class Outcome { Succeeded, Failed };

    explicit VersionOperation(OperationContext& context) : m_context(context) { }

    // Runs the whole operation inside the caller's click handler. The completion
    // label reads "Operation Successful" only when a device answered the presence
    // check and sent a non-empty version; otherwise "FAILED OPERATION". A stop
    // closes the port and passes OperationAborted on, as Read, Verify and Send do.
    Outcome run();

private:
    OperationContext& m_context;
};
