#pragma once

#include "model/row_table.h"

#include <QString>

#include <deque>
#include <optional>

// Everything a whole-table change replaces: the rows with their notes, the
// string length and the configuration file the table came from.
struct TableState final {
    RowTable rows;
    int stringLength = 6;  // 1..10
    QString configFileName;  // the path Save writes to
    QString configLabel;  // what CONFIG FILE: shows

    // Same keys, strings, notes and string length: what a file would hold.
    bool sameTable(const TableState& other) const;
};

// Whether choosing `toLength` instead of `fromLength` costs the operator text:
// a string gets cut by the live check, or a row holding anything ends up past
// the new capacity (greyed, no longer sent).
bool lengthChangeLoses(const RowTable& rows, int fromLength, int toLength);

// Undo and redo of whole-table changes (Read, Open, Clear All, a shorter
// string length). Each step keeps the whole table from before the change; a
// RowTable copy shares its strings, so twenty steps cost little.
class TableHistory final {
public:
    static constexpr int kSteps = 20;

    // `what` names the change ("Clear All"); `before` is the table it replaces.
    // A new change forgets what could be redone.
    void record(const QString& what, TableState before);

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // Menu captions: "Undo Clear All", or "Undo" when there is nothing to undo.
    QString undoText() const;
    QString redoText() const;

    // The table to show instead of `current`, which becomes the step back the
    // other way; std::nullopt when there is no such step.
    std::optional<TableState> undo(TableState current);
    std::optional<TableState> redo(TableState current);

private:
    struct Step final {
        QString what;
        TableState state;
    };
    static std::optional<TableState> move(std::deque<Step>& from, std::deque<Step>& to, TableState current);

    std::deque<Step> m_undo;  // newest last
    std::deque<Step> m_redo;
};
