#include "model/table_history.h"

#include "model/capacity.h"
#include "model/override_check.h"

bool TableState::sameTable(const TableState& other) const
{
    return stringLength == other.stringLength && rows.keyNames == other.rows.keyNames
            && rows.strings == other.rows.strings && rows.notes == other.rows.notes;
}

bool lengthChangeLoses(const RowTable& rows, int fromLength, int toLength)
{
    const int newCapacity = capacity::maxKeysForIndex(toLength - 1);
    const int oldCapacity = capacity::maxKeysForIndex(fromLength - 1);
    for (int r = 0; r < RowTable::kRows; ++r) {
        const auto at = static_cast<std::size_t>(r);
        const bool holds =
                !rows.keyNames.at(at).isEmpty() || !rows.strings.at(at).isEmpty() || !rows.notes.at(at).isEmpty();
        if (holds && r >= newCapacity && r < oldCapacity)
            return true;
        const QString& text = rows.strings.at(at);
        if (!text.isEmpty() && override_check::liveCheck(text, toLength, r % RowTable::kLinesPerPage).text != text)
            return true;
    }
    return false;
}

void TableHistory::record(const QString& what, TableState before)
{
    m_redo.clear();
    m_undo.push_back({what, std::move(before)});
    while (m_undo.size() > static_cast<std::size_t>(kSteps))
        m_undo.pop_front();
}

QString TableHistory::undoText() const
{
    return m_undo.empty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + m_undo.back().what;
}

QString TableHistory::redoText() const
{
    return m_redo.empty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + m_redo.back().what;
}

std::optional<TableState> TableHistory::move(std::deque<Step>& from, std::deque<Step>& to, TableState current)
{
    if (from.empty())
        return std::nullopt;
    Step step = std::move(from.back());
    from.pop_back();
    to.push_back({step.what, std::move(current)});
    return std::move(step.state);
}

std::optional<TableState> TableHistory::undo(TableState current)
{
    return move(m_undo, m_redo, std::move(current));
}

std::optional<TableState> TableHistory::redo(TableState current)
{
    return move(m_redo, m_undo, std::move(current));
}
