#include "operations/verify_operation.h"

#include "device/attachment.h"
#include "device/protocol.h"
#include "device/serial_link.h"
#include "device/status_sink.h"
#include "device/waiter.h"
#include "model/capacity.h"
#include "model/messages.h"
#include "model/row_table.h"
#include "operations/guarded_run.h"
#include "operations/operation_context.h"
#include "operations/table_steps.h"
#include "operations/verify_key.h"

namespace {

constexpr int kClosingPauseMs = 2000;
constexpr int kResetRows = 94;  // one per key-table slot: every row any length can use

}  // namespace

VerifyOperation::Outcome VerifyOperation::run()
{
    Protocol protocol(m_context.link, m_context.waiter, m_context.status, m_context.fastExchange);
    m_failed = 0;
    m_beyond.clear();
    return guarded_run::run<Outcome>(m_context, protocol, {QStringLiteral("Error verifying values. "), QString()},
                                     [this, &protocol] { return verifyTable(protocol); });
}

VerifyOperation::Outcome VerifyOperation::verifyTable(Protocol& protocol)
{
    OperationContext& ctx = m_context;
    StatusSink& status = ctx.status;
    RowTable& rows = ctx.rows;

    guarded_run::begin(ctx, QStringLiteral("Successful Verification"), QStringLiteral("Veriy Operation Requested"));

    const AttachCheck attach = checkAttached(protocol, ctx.messages, ctx.comPort);
    if (!attach.attached()) {
        guarded_run::notAttached(ctx, attach.result);
        return Outcome::Failed;
    }

    status.showProgress();
    status.setPercentText(QStringLiteral("0%"));
    status.setProgressValue(0);
    // Scaled for the length on screen before the device is asked: when the
    // device's length differs, the bar stops at its end or short of it.
    status.setProgressMaximum(capacity::maxKeysForIndex(ctx.view.stringLengthIndex()) - 1);

    for (int r = 0; r < kResetRows; ++r) {
        const auto index = static_cast<std::size_t>(r);
        rows.pictureShown.at(index) = false;
        rows.pictures.at(index) = StatusPicture::QuestionMark;
        rows.verified.at(index) = false;
        rows.pictureTips.at(index).clear();
    }
    ctx.view.showPage();

    const QByteArray lengthAnswer = protocol.queryStringLength();
    const int lengthIndex = table_steps::lengthIndexFromAnswer(lengthAnswer);
    if (lengthIndex < 0) {
        ctx.messages.info(QStringLiteral("Invalid string configuration in QZ4 ..")
                          + table_steps::firstCharacter(lengthAnswer));
        guarded_run::endEarly(ctx);
        return Outcome::Failed;
    }
    const int tableLengthIndex = ctx.view.stringLengthIndex();
    ctx.view.selectStringLengthIndex(lengthIndex);
    if (m_compareLength && tableLengthIndex != lengthIndex) {
        // The file's string length is part of what it holds; the device differs.
        status.add(QStringLiteral("The device's string length is %1, the file's is %2")
                           .arg(lengthIndex + 1)
                           .arg(tableLengthIndex + 1));
        ++m_failed;
    }

    const int rowCount = capacity::maxKeysForIndex(lengthIndex);
    VerifyKey verifyKey(protocol, rows, ctx.view);
    for (int r = 0; r < rowCount; ++r) {
        const bool matches = verifyKey.check(r);
        rows.verified.at(static_cast<std::size_t>(r)) = matches;
        if (!matches)
            ++m_failed;
        table_steps::showRowProgress(status, r);
    }
    failRowsBeyond(rowCount, lengthIndex + 1);

    table_steps::closeAndPause(protocol, ctx.waiter, status, kClosingPauseMs);
    ctx.view.showPage();
    if (!m_beyond.isEmpty())
        status.add(QStringLiteral("Rows the device cannot hold at string length %1: %2")
                           .arg(lengthIndex + 1)
                           .arg(table_steps::rowList(m_beyond)));
    return guarded_run::finish(ctx, m_failed, QStringLiteral("Successful Verification"),
                               QStringLiteral("FAILED verifications"))
            ? Outcome::Succeeded
            : Outcome::Mismatched;
}

void VerifyOperation::failRowsBeyond(int rowCount, int length)
{
    RowTable& rows = m_context.rows;
    for (int r = rowCount; r < kResetRows; ++r) {
        const auto index = static_cast<std::size_t>(r);
        if (rows.keyNames.at(index).isEmpty() && rows.strings.at(index).isEmpty())
            continue;
        m_beyond.append(r);
        ++m_failed;
        rows.pictureShown.at(index) = true;  // the pictures stay as the reset left them: question marks
        rows.pictureTips.at(index) =
                QStringLiteral("The device holds no row %1 at string length %2").arg(r).arg(length);
    }
}
