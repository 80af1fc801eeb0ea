#include "operations/send_operation.h"

#include "device/attachment.h"
#include "device/protocol.h"
#include "device/serial_link.h"
#include "device/status_sink.h"
#include "device/waiter.h"
#include "model/capacity.h"
#include "model/key_table.h"
#include "model/messages.h"
#include "model/notation.h"
#include "model/row_table.h"
#include "operations/guarded_run.h"
#include "operations/operation_context.h"
#include "operations/send_check.h"
#include "operations/table_steps.h"
#include "operations/verify_key.h"

namespace {

constexpr int kClosingPauseMs = 1000;
constexpr int kNoKey = 0xFF;

}  // namespace

SendOperation::Outcome SendOperation::run()
{
    Protocol protocol(m_context.link, m_context.waiter, m_context.status, m_context.fastExchange);
    m_progress = {};
    return guarded_run::run<Outcome>(
            m_context, protocol, {QStringLiteral("Error sending to QZ4VELD. "), QStringLiteral("FATAL ERROR")},
            [this, &protocol] { return sendTable(protocol); }, [this] { return deviceHolds(); });
}

SendOperation::Outcome SendOperation::sendTable(Protocol& protocol)
{
    OperationContext& ctx = m_context;
    StatusSink& status = ctx.status;
    RowTable& rows = ctx.rows;

    ctx.view.disableControls();
    status.add(QStringLiteral("Write Operation Requested"));

    // Every row is checked before the device is touched: once the string
    // length is set, the device's old table is gone.
    if (const std::optional<QString> refusal = send_check::firstUnsendableRow(rows, ctx.view.stringLengthIndex())) {
        ctx.messages.info(*refusal);
        guarded_run::endEarly(ctx, QStringLiteral("Operation Aborted"));
        return Outcome::Failed;
    }

    rows.pictureShown.fill(false);
    ctx.view.showPage();
    status.showProgress();
    status.setPercentText(QStringLiteral("0%"));
    status.setProgressValue(0);
    status.clear();

    const AttachCheck attach = checkAttached(protocol, ctx.messages, ctx.comPort);
    if (!attach.attached()) {
        guarded_run::notAttached(ctx, attach.result);
        return Outcome::Failed;
    }
    status.hideCompletion(QStringLiteral("Successful Operation"));

    const int lengthIndex = ctx.view.stringLengthIndex();
    const int length = lengthIndex + 1;
    const QString digit = QString(QLatin1Char(command::lengthDigit(length)));
    m_progress.lengthSent = true;  // from here on, a stop leaves the device incomplete
    const QByteArray lengthAnswer = protocol.setStringLength(length);
    if (lengthAnswer.isEmpty() || static_cast<unsigned char>(lengthAnswer.at(0)) != Protocol::kAck) {
        // Only the device's error reply says it kept its table; silence or
        // anything else may mean it took the length and erased the table.
        m_progress.lengthRefused = Protocol::isRefusal(lengthAnswer);
        status.add(QStringLiteral("FAILED to set string length to ") + digit);
        guarded_run::tellWhatTheDeviceHolds(ctx, deviceHolds());
        guarded_run::endEarly(ctx, QStringLiteral("FAILED OPERATION"));
        return Outcome::Failed;
    }
    status.add(QStringLiteral("String length successfully set to ") + digit);

    const int rowCount = capacity::maxKeysForIndex(lengthIndex);
    m_progress.rows = rowCount;
    for (int r = 0; r < RowTable::kRows; ++r) {
        const auto index = static_cast<std::size_t>(r);
        rows.pictureShown.at(index) = r < rowCount;
        rows.pictures.at(index) = StatusPicture::QuestionMark;
    }
    status.setProgressMaximum(rowCount - 1);

    VerifyKey verifyKey(protocol, rows, ctx.view);
    // Called once a block is acknowledged, before its slot is read back.
    const auto readBack = [this, &verifyKey](int row) {
        m_progress.lastAcknowledged = row;
        return verifyKey.check(row);
    };
    for (int r = 0; r < rowCount; ++r) {
        const auto index = static_cast<std::size_t>(r);
        // Taken now: the operator may still edit rows further down while this runs.
        const QString keyName = rows.keyNames.at(index);
        const QString string = rows.strings.at(index);
        const int scancode = keyName.isEmpty() ? kNoKey : key_table::scancodeForKeyName(keyName);
        const std::optional<QByteArray> slotBytes = notation::toDeviceBytes(string, length);

        if (!slotBytes) {
            // A short block would make the device take the next block's bytes as
            // this slot's string; the row is left out and counted instead.
            status.add(QStringLiteral("Row %1 not sent: its string cannot be converted to device bytes").arg(r));
            ++m_progress.failed;
        } else if (slotBytes->size() != length) {
            status.add(QStringLiteral("Row %1 not sent: its string is longer than %2").arg(r).arg(length));
            ++m_progress.failed;
        } else {
            // Counted before the writes: a line lost while they go out may leave part of the block.
            m_progress.lastSent = r;
            protocol.writeSlot(r, scancode, *slotBytes, length, string);
            const BlockAnswer answer = protocol.awaitBlockAnswer(r, readBack);
            if (!answer.acknowledged || !answer.verified)
                ++m_progress.failed;
        }
        status.setProgressValue(r);
        status.setPercentText(table_steps::percentText(r, status.progressMaximum()));
    }

    m_progress.allSent = true;
    table_steps::closeAndPause(protocol, ctx.waiter, status, kClosingPauseMs);
    // Drawn again: a block that was never read back shows its question mark now.
    ctx.view.showPage();
    return guarded_run::finish(ctx, m_progress.failed, QStringLiteral("Successful Operation"),
                               QStringLiteral("FAILED blocks"))
            ? Outcome::Succeeded
            : Outcome::Incomplete;
}
