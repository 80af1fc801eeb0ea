#include "operations/read_operation.h"

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
#include "operations/table_steps.h"

namespace {

constexpr int kClosingPauseMs = 2000;
constexpr int kEmptiedRows = 96;  // rows 0..95, all that paging can show

}  // namespace

ReadOperation::Outcome ReadOperation::run()
{
    Protocol protocol(m_context.link, m_context.waiter, m_context.status, m_context.fastExchange);
    m_notRead.clear();
    return guarded_run::run<Outcome>(
            m_context, protocol,
            {QStringLiteral("Error retrieve current key overrides - "), QStringLiteral("Failed Read")},
            [this, &protocol] { return readTable(protocol); });
}

ReadOperation::Outcome ReadOperation::readTable(Protocol& protocol)
{
    OperationContext& ctx = m_context;
    StatusSink& status = ctx.status;
    RowTable& rows = ctx.rows;

    guarded_run::begin(ctx, QStringLiteral("Successful Read"), QStringLiteral("Read Operation Requested"));

    status.showProgress();
    status.setPercentText(QStringLiteral("0%"));
    status.setProgressValue(0);

    const AttachCheck attach = checkAttached(protocol, ctx.messages, ctx.comPort);
    if (!attach.attached()) {
        guarded_run::notAttached(ctx, attach.result, QStringLiteral("FAILED READ"));
        return Outcome::Failed;
    }

    const QByteArray lengthAnswer = protocol.queryStringLength();
    const int lengthIndex = table_steps::lengthIndexFromAnswer(lengthAnswer);
    if (lengthIndex < 0) {
        ctx.messages.info(QStringLiteral("Invalid string configuration in QZ4 ..")
                          + table_steps::firstCharacter(lengthAnswer));
        guarded_run::endEarly(ctx, QStringLiteral("FAILED READ"));
        return Outcome::Failed;
    }

    // Only now is it certain that the device's table replaces the screen's.
    ctx.view.aboutToReplaceTable();
    for (int r = 0; r < kEmptiedRows; ++r) {
        const auto index = static_cast<std::size_t>(r);
        rows.pictureShown.at(index) = false;
        rows.strings.at(index).clear();
        rows.keyNames.at(index).clear();
    }
    ctx.view.showPage();
    ctx.view.selectStringLengthIndex(lengthIndex);

    const int rowCount = capacity::maxKeysForIndex(lengthIndex);
    const int length = lengthIndex + 1;
    status.setProgressMaximum(rowCount - 1);
    const int firstRow = ctx.view.currentPage() * RowTable::kLinesPerPage;
    const auto onPage = [firstRow](int r) { return r >= firstRow && r < firstRow + RowTable::kLinesPerPage; };

    for (int r = 0; r < rowCount; ++r) {
        const auto index = static_cast<std::size_t>(r);
        rows.strings.at(index).clear();
        const QByteArray answer = protocol.readSlot(r);
        for (const QString& line : trace::readSlotResponse(answer))
            status.add(line);

        // Only a whole slot is a row. Silence, the error reply (whose "C" is no
        // scan code), an answer shorter or longer than the slot (the device and
        // the program disagree on the width, or the answer was cut) and a slot
        // whose filling is not 0x00 leave the row unknown: it stays empty, gets
        // the question mark and is counted.
        if (const QString fault = table_steps::slotFault(answer, length); !fault.isEmpty()) {
            m_notRead.append(r);
            rows.pictures.at(index) = StatusPicture::QuestionMark;
            rows.pictureTips.at(index) = QStringLiteral("Not read: VELD ") + fault;
            rows.pictureShown.at(index) = true;
            if (onPage(r))
                ctx.view.showRowPicture(r);
        } else {
            const QString keyName = key_table::keyNameForScancode(static_cast<unsigned char>(answer.at(0)));
            if (!keyName.isEmpty()) {
                rows.keyNames.at(index) = keyName;
                rows.strings.at(index) = notation::fromDeviceBytes(answer.mid(1));
                if (onPage(r))
                    ctx.view.showRowOnLine(r);
            }
        }
        table_steps::showRowProgress(status, r);
    }

    table_steps::closeAndPause(protocol, ctx.waiter, status, kClosingPauseMs);
    ctx.view.showPage();
    ctx.view.refreshPageRows();
    if (!m_notRead.isEmpty())
        status.add(QStringLiteral("Rows not read: ") + table_steps::rowList(m_notRead));
    if (guarded_run::finish(ctx, rowsNotRead(), QStringLiteral("Successful Read"), QStringLiteral("rows not read")))
        return Outcome::Succeeded;
    ctx.messages.beep();
    return Outcome::Incomplete;
}
