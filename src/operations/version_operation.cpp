#include "operations/version_operation.h"

#include "device/attachment.h"
#include "device/protocol.h"
#include "device/serial_link.h"
#include "device/status_sink.h"
#include "device/waiter.h"
#include "operations/operation_context.h"

VersionOperation::Outcome VersionOperation::run()
{
    OperationContext& ctx = m_context;
    ctx.status.hideCompletion(QString());
    ctx.view.disableControls();

    Protocol protocol(ctx.link, ctx.waiter, ctx.status, ctx.fastExchange);
    VersionResult result;
    try {
        result = requestVersion(protocol, ctx.messages, ctx.comPort);
    } catch (const OperationAborted&) {
        ctx.link.close();
        ctx.view.enableControls();
        return Outcome::Aborted;
    }

    ctx.view.enableControls();
    // A missing device, an empty answer or an error is not reported as a success.
    const bool ok = result.succeeded();
    ctx.status.showCompletion(ok ? QStringLiteral("Operation Successful") : QStringLiteral("FAILED OPERATION"));
    return ok ? Outcome::Succeeded : Outcome::Failed;
}
