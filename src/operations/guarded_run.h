#pragma once

#include "device/protocol.h"
#include "device/status_sink.h"
#include "device/waiter.h"
#include "model/messages.h"
#include "operations/operation_context.h"
#include "operations/table_steps.h"

#include <QString>
#include <exception>
#include <functional>

// The frame Read, Verify and Send run their bodies in, so that each ends the same
// way whatever stops it.
namespace guarded_run {

struct Failure final {
    QString messagePrefix;  // the message box text before the error's description
    QString completion;  // the completion label's text; empty: the label stays as it is
};

// Runs body() and returns its outcome. An abort (the window is closing) closes
// the port, runs afterStop and passes on. Any other error is reported in one
// message box, gives the controls back, shows the failure's completion text,
// runs afterStop and ends the run as Outcome::Failed: no failure passes silently
// and none leaves the window locked.
template <typename Outcome>
Outcome run(OperationContext& ctx, Protocol& protocol, const Failure& failure, const std::function<Outcome()>& body,
            const std::function<void()>& afterStop = {})
{
    try {
        return body();
    } catch (const OperationAborted&) {
        protocol.close();
        if (afterStop)
            afterStop();
        throw;
    } catch (const std::exception& error) {
        ctx.messages.info(failure.messagePrefix + table_steps::describe(error));
        ctx.view.enableControls();
        if (!failure.completion.isEmpty())
            ctx.status.showCompletion(failure.completion);
        if (afterStop)
            afterStop();
        return Outcome::Failed;
    }
}

}  // namespace guarded_run
