#pragma once

#include "device/protocol.h"
#include "device/status_sink.h"
#include "device/waiter.h"
#include "model/error_text.h"
#include "model/messages.h"
#include "operations/operation_context.h"
#include "operations/table_steps.h"

#include <QString>
#include <exception>
#include <functional>

// The frame Read, Verify and Send run their bodies in: the same start, the same
// early and normal ends, and the same handling of whatever stops them.
namespace guarded_run {

struct Failure final {
    QString messagePrefix;  // the message box text before the error's description
    QString completion;  // the completion label's text; empty: the label stays as it is
};

// The start of Read and Verify: the completion label hidden, holding the text
// a success shows; the controls off; the status list emptied; the request line.
void begin(OperationContext& ctx, const QString& success, const QString& requestLine);

// A run that ends before its table is done: the controls come back and, when
// given, the completion label shows `completion`.
void endEarly(OperationContext& ctx, const QString& completion = {});

// No device answered the presence check: a beep, the check's result as the
// last status line, then endEarly().
void notAttached(OperationContext& ctx, const QString& result, const QString& completion = {});

// The end of a run that went through every row: the controls come back and the
// completion label shows `success`, or counts the failed rows (" 3 FAILED
// blocks"). True when none failed.
bool finish(OperationContext& ctx, int failed, const QString& success, const QString& failedWhat);

// A status line with what the device now holds, when there is something to say;
// only a log file that cannot be written refuses it, and the stop matters more.
void tellWhatTheDeviceHolds(OperationContext& ctx, const QString& sentence);

// Runs body() and returns its outcome. An abort (the window is closing) closes
// the port, adds deviceHolds()'s sentence as a status line and passes on. Any
// other error is reported in one message box (the sentence on its own line
// after the description), adds the sentence as a status line, gives the
// controls back, shows the failure's completion text and ends the run as
// Outcome::Failed: no failure passes silently and none leaves the window locked.
template <typename Outcome>
Outcome run(OperationContext& ctx, Protocol& protocol, const Failure& failure, const std::function<Outcome()>& body,
            const std::function<QString()>& deviceHolds = {})
{
    try {
        return body();
    } catch (const OperationAborted&) {
        protocol.close();
        tellWhatTheDeviceHolds(ctx, deviceHolds ? deviceHolds() : QString());
        throw;
    } catch (const std::exception& error) {
        const QString holds = deviceHolds ? deviceHolds() : QString();
        ctx.messages.info(failure.messagePrefix + describe(error)
                          + (holds.isEmpty() ? QString() : QLatin1Char('\n') + holds));
        tellWhatTheDeviceHolds(ctx, holds);
        endEarly(ctx, failure.completion);
        return Outcome::Failed;
    }
}

}  // namespace guarded_run
