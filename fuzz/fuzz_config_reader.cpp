// The .cfg reader over arbitrary file contents: it must end, keep every row in
// range, and whatever it loaded must come back unchanged through a save.
#include "files/config_file.h"
#include "fuzz_support.h"
#include "model/row_table.h"

#include <QDateTime>

namespace {

bool sameRows(const RowTable& a, const RowTable& b)
{
    for (int r = 0; r <= config_file::kLastRowRead; ++r) {
        if (a.keyNames.at(r) != b.keyNames.at(r) || a.strings.at(r) != b.strings.at(r)
            || a.notes.at(r) != b.notes.at(r))
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = fuzz::scratchPath("config.cfg");
    static const QString again = fuzz::scratchPath("config-again.cfg");
    fuzz::writeFile(path, QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

    RowTable rows;
    int length = 6;
    bool openError = false;
    config_file::ConfigReader reader(path);
    // Every item takes at least one line of the file.
    const size_t limit = size + 2;
    size_t items = 0;
    while (const std::optional<config_file::ConfigItem> item = reader.next()) {
        if (++items > limit)
            fuzz::broken("the reader gives more items than the file has lines");
        if (openError)
            fuzz::broken("an item follows an open error");
        switch (item->kind) {
        case config_file::ConfigItem::Kind::StringLength:
            if (item->stringLength < 1 || item->stringLength > 10)
                fuzz::broken("string length outside 1..10", QString::number(item->stringLength));
            length = item->stringLength;
            break;
        case config_file::ConfigItem::Kind::Row:
            if (item->row < 0 || item->row > config_file::kLastRowRead)
                fuzz::broken("row outside 0..92", QString::number(item->row));
            config_file::applyRow(*item, rows);
            break;
        case config_file::ConfigItem::Kind::LineError:
            if (item->message.isEmpty())
                fuzz::broken("a line error without a message");
            break;
        case config_file::ConfigItem::Kind::OpenError:
            openError = true;
            break;
        }
    }

    for (int r = 0; r <= config_file::kLastRowRead; ++r) {
        const QString& note = rows.notes.at(r);
        if (config_file::unescapeField(config_file::escapeField(note)) != note)
            fuzz::broken("escaping does not round-trip", note);
    }

    fuzz::writeFile(again, config_file::render(rows, length, QDateTime::fromSecsSinceEpoch(0)));
    RowTable reloaded;
    int reloadedLength = 0;
    const config_file::LoadSummary summary =
            config_file::applyTo(reloaded, again, [&reloadedLength](int n) { reloadedLength = n; });
    if (!summary.complete() || !summary.lineErrors.isEmpty() || reloadedLength != length || !sameRows(rows, reloaded))
        fuzz::broken("a saved table does not load back unchanged", summary.openError + summary.lineErrors.join(u'|'));
    return 0;
}
