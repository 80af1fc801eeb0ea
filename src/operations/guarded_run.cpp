#include "operations/guarded_run.h"

namespace guarded_run {

void begin(OperationContext& ctx, const QString& success, const QString& requestLine)
{
    ctx.status.hideCompletion(success);
    ctx.view.disableControls();
    ctx.status.clear();
    ctx.status.add(requestLine);
}

void endEarly(OperationContext& ctx, const QString& completion)
{
    ctx.view.enableControls();
    if (!completion.isEmpty())
        ctx.status.showCompletion(completion);
}

void notAttached(OperationContext& ctx, const QString& result, const QString& completion)
{
    ctx.messages.beep();
    ctx.status.add(result);
    endEarly(ctx, completion);
}

bool finish(OperationContext& ctx, int failed, const QString& success, const QString& failedWhat)
{
    ctx.view.enableControls();
    ctx.status.showCompletion(failed == 0 ? success : table_steps::failedCount(failed, failedWhat));
    return failed == 0;
}

void tellWhatTheDeviceHolds(OperationContext& ctx, const QString& sentence)
{
    if (sentence.isEmpty())
        return;
    try {
        ctx.status.add(sentence);
    } catch (const std::exception&) {
        // Only the log file can refuse the line; the message box or the stop itself still reports.
    }
}

}  // namespace guarded_run
