#include "operations/version_operation.h"

#include "device/attachment.h"
#include "device/protocol.h"
#include "device/status_sink.h"
#include "operations/guarded_run.h"
#include "operations/operation_context.h"

VersionOperation::Outcome VersionOperation::run()
{
    OperationContext& ctx = m_context;
    Protocol protocol(ctx.link, ctx.waiter, ctx.status, ctx.fastExchange);
    return guarded_run::run<Outcome>(
            ctx, protocol, {QStringLiteral("Error getting code version. "), QStringLiteral("FAILED OPERATION")},
            [&ctx, &protocol] {
                ctx.status.hideCompletion(QString());
                ctx.view.disableControls();
                const VersionResult result = requestVersion(protocol, ctx.messages, ctx.comPort);
                // A missing device, an empty answer or an error is not reported as a success.
                const bool ok = result.succeeded();
                guarded_run::endEarly(ctx,
                                      ok ? QStringLiteral("Operation Successful") : QStringLiteral("FAILED OPERATION"));
                return ok ? Outcome::Succeeded : Outcome::Failed;
            });
}
