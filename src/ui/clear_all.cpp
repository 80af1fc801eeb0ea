#include "ui/clear_all.h"

#include "device/status_sink.h"
#include "model/row_table.h"
#include "operations/operation_context.h"
#include "ui/key_field.h"
#include "ui/row_lines.h"
#include "ui/string_field.h"

#include <QTextEdit>

void clearAll(RowTable& rows, RowLines& lines, QTextEdit& notesBox, StatusSink& status, OperationView& view)
{
    constexpr int kShownRows = RowLines::kLines * (RowLines::kLastPage + 1);
    for (std::size_t r = 0; r < static_cast<std::size_t>(kShownRows); ++r) {
        rows.keyNames.at(r).clear();
        rows.strings.at(r).clear();
        rows.pictureTips.at(r).clear();
        rows.notes.at(r).clear();
        rows.pictureShown.at(r) = false;
    }
    for (int i = 0; i < RowLines::kLines; ++i) {
        const RowLines::Line& line = lines.line(i);
        line.key->setText(QString());
        // Goes through the string field's change handling, so the length count
        // follows the emptied text.
        line.string->setText(QString());
    }
    notesBox.clear();
    status.clear();
    view.showPage();
}
