#include "operations/verify_key.h"

#include "device/protocol.h"
#include "device/status_sink.h"
#include "model/key_table.h"
#include "model/notation.h"
#include "model/row_table.h"
#include "operations/operation_context.h"
#include "operations/table_steps.h"

#include <stdexcept>

namespace {

// The stored string as the device outputs it: a 0x00 ends it, the rest of the
// slot is filling. Read takes the string the same way, so a row just read
// always verifies.
QByteArray storedString(const QByteArray& answer)
{
    const QByteArray string = answer.mid(1);
    const qsizetype end = string.indexOf('\0');
    return end < 0 ? string : string.left(end);
}

}  // namespace

bool VerifyKey::check(int row)
{
    if (row < 0 || row >= RowTable::kRows)
        throw std::out_of_range(QStringLiteral("row %1 is outside the table").arg(row).toStdString());
    const auto index = static_cast<std::size_t>(row);

    const QByteArray answer = m_protocol.readSlot(row);
    bool matches = false;
    if (answer.isEmpty()) {
        m_rows.pictures.at(index) = StatusPicture::QuestionMark;
        m_rows.pictureTips.at(index) = QStringLiteral("VELD Key= ,STR= ");
    } else {
        if (const auto line = trace::verifySlotResponse(answer))
            m_protocol.status().add(*line);
        const QString deviceKey = key_table::keyNameForScancode(static_cast<unsigned char>(answer.at(0)));
        // Both sides in {HH} form: {D}, {0d} and the device byte 0x0D are one
        // byte, and a "{" the device holds is not taken for a field.
        const QString deviceFields = trace::bracedBytes(storedString(answer));
        if (const QString fault = table_steps::slotFault(answer, m_protocol.slotLength()); !fault.isEmpty()) {
            // The device confirmed nothing about this row: refused, cut short, too
            // long, or holding more than Send writes (its "C" of CMDERR is no scan code).
            m_rows.pictureTips.at(index) = QStringLiteral("VELD ") + fault;
        } else if (!deviceKey.isEmpty()) {
            matches = deviceKey == m_rows.keyNames.at(index)
                    && deviceFields == notation::comparisonForm(m_rows.strings.at(index));
            if (!matches)
                m_rows.pictureTips.at(index) = QStringLiteral("VELD Key=") + deviceKey + QStringLiteral("  STR=")
                        + notation::hexFieldsToText(deviceFields);
        } else {
            // A slot without a known key outputs nothing; it matches a row without a key.
            matches = m_rows.keyNames.at(index).isEmpty();
            if (!matches)
                m_rows.pictureTips.at(index) =
                        QStringLiteral("VELD Key=,STR=") + notation::hexFieldsToText(deviceFields);
        }
        m_rows.pictures.at(index) = matches ? StatusPicture::CheckMark : StatusPicture::QuestionMark;
    }

    m_rows.pictureShown.at(index) = true;
    const int firstRow = m_view.currentPage() * RowTable::kLinesPerPage;
    if (row >= firstRow && row < firstRow + RowTable::kLinesPerPage)
        m_view.showRowPicture(row);
    return matches;
}
