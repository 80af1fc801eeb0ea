#pragma once

#include "files/recovery_store.h"
#include "model/table_history.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class Messages;
class QAction;
class QLineEdit;

// Keeps the operator's table from being lost: undo and redo of the changes
// that replace or cut the whole table, and a snapshot in the user's state
// folder while the table differs from the last file opened or saved, offered
// back at the next start after a crash.
class UndoAndRecovery final : public QObject {
    Q_OBJECT

public:
    static constexpr int kSnapshotIntervalMs = 2000;

    // How the part sees and sets the window's table.
    struct Table final {
        std::function<TableState()> capture;
        std::function<void(const TableState&)> restore;  // sets it all back without recording a step
        std::function<int()> chosenLength;  // the string length the list shows, maybe not yet the table's
    };

    // undo / redo: the File menu items this part captions and enables.
    // recoveryFolder: where the snapshot lives; empty keeps none.
    UndoAndRecovery(Table table, QAction* undo, QAction* redo, Messages& messages, const QString& recoveryFolder,
                    QObject* parent = nullptr);
    ~UndoAndRecovery() override;

    static constexpr const char* kStringLength = "String Length";

    // Before a change replaces the table (`what` names it in the menu). A new
    // string length is a step only when it cuts a string or greys a row that
    // holds something.
    void tableAboutToChange(const QString& what);

    // Operations running: no undo under them.
    void setBusy(bool busy);

    // The table now matches a file (saved or opened): no snapshot is needed.
    void markClean();
    // At start: offers a snapshot left by a run that did not end cleanly.
    void offerRecovery();
    // Writes or removes the snapshot as the table stands (the timer's work).
    void keepSnapshot();
    // Clean exit: the snapshot goes.
    void discardSnapshot();

    void undo();
    void redo();

    // Fields whose Ctrl+Z and Ctrl+Shift+Z are their own while they have
    // typing to undo or redo, and the table's once they have none (after
    // Clear All or Read emptied them, say).
    void watchFields(const QList<QLineEdit*>& fields);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void record(const QString& what, TableState before);
    void apply(std::optional<TableState> state);
    void updateActions();

    Table m_table;
    QAction* m_undo;
    QAction* m_redo;
    Messages& m_messages;
    TableHistory m_history;
    std::optional<RecoveryStore> m_store;  // none when snapshots are off or another copy keeps them
    QTimer m_timer;
    TableState m_clean;  // the last file opened or saved (the empty table at start)
    TableState m_written;  // what the snapshot (or its absence) last stood for
    bool m_busy = false;
    bool m_writeFailureShown = false;
};
