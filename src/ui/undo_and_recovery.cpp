#include "ui/undo_and_recovery.h"

#include "model/error_text.h"
#include "model/messages.h"

#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

#include <exception>

namespace {

// Why the question comes, when the table was kept and where it came from: what Yes brings back.
QString recoveryQuestion(const RecoveryStore::Snapshot& snapshot)
{
    const QString when = QLocale::system().toString(snapshot.taken, QLocale::ShortFormat);
    const QString file = snapshot.state->configFileName;
    const QString origin = file.isEmpty()
            ? QStringLiteral("It was never saved to a file.")
            : QStringLiteral("It came from %1, with changes not saved there.").arg(QDir::toNativeSeparators(file));
    return QStringLiteral("The program did not end normally last time. The table it held was kept at %1. %2\n\n"
                          "Restore this table?")
            .arg(when, origin);
}

}  // namespace

UndoAndRecovery::UndoAndRecovery(Table table, QAction* undo, QAction* redo, Messages& messages,
                                 const QString& recoveryFolder, QObject* parent)
    : QObject(parent), m_table(std::move(table)), m_undo(undo), m_redo(redo), m_messages(messages)
{
    setObjectName(QStringLiteral("UndoAndRecovery"));
    // A row field that has the focus keeps these keys for its own undo.
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(m_undo, &QAction::triggered, this, &UndoAndRecovery::undo);
    connect(m_redo, &QAction::triggered, this, &UndoAndRecovery::redo);
    updateActions();

    if (!recoveryFolder.isEmpty()) {
        m_store.emplace(recoveryFolder);
        if (!m_store->claim())
            m_store.reset();  // another running copy keeps its own table safe
    }
    m_timer.setInterval(kSnapshotIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &UndoAndRecovery::keepSnapshot);
}

UndoAndRecovery::~UndoAndRecovery()
{
    discardSnapshot();
}

void UndoAndRecovery::tableAboutToChange(const QString& what)
{
    TableState before = m_table.capture();
    if (what == QLatin1String(kStringLength)
        && !lengthChangeLoses(before.rows, before.stringLength, m_table.chosenLength()))
        return;
    record(what, std::move(before));
}

void UndoAndRecovery::record(const QString& what, TableState before)
{
    m_history.record(what, std::move(before));
    updateActions();
}

void UndoAndRecovery::setBusy(bool busy)
{
    m_busy = busy;
    updateActions();
}

void UndoAndRecovery::markClean()
{
    m_clean = m_written = m_table.capture();
    if (m_store)
        m_store->remove();
}

void UndoAndRecovery::offerRecovery()
{
    if (!m_store)
        return;
    m_clean = m_written = m_table.capture();
    m_timer.start();
    const std::optional<RecoveryStore::Snapshot> snapshot = m_store->read();
    if (!snapshot)
        return;
    if (!snapshot->state) {
        m_messages.info(snapshot->problem);
        return;
    }
    if (!m_messages.confirm(recoveryQuestion(*snapshot), QGuiApplication::applicationDisplayName())) {
        m_store->remove();
        return;
    }
    record(QStringLiteral("Restore"), m_table.capture());
    apply(snapshot->state);
}

void UndoAndRecovery::keepSnapshot()
{
    if (!m_store)
        return;
    const TableState now = m_table.capture();
    if (now.sameTable(m_written))
        return;
    if (now.sameTable(m_clean)) {
        m_store->remove();
        m_written = now;
        return;
    }
    try {
        m_store->write(now);
        m_written = now;
    } catch (const std::exception& e) {
        // Tried again at the next tick; said once, and never over a running operation.
        if (m_writeFailureShown || m_busy)
            return;
        m_writeFailureShown = true;
        m_messages.info(QStringLiteral("The table cannot be kept for recovery after a crash: ") + describe(e));
    }
}

void UndoAndRecovery::discardSnapshot()
{
    if (m_store)
        m_store->remove();
}

void UndoAndRecovery::undo()
{
    if (!m_busy)
        apply(m_history.undo(m_table.capture()));
}

void UndoAndRecovery::redo()
{
    if (!m_busy)
        apply(m_history.redo(m_table.capture()));
}

void UndoAndRecovery::watchFields(const QList<QLineEdit*>& fields)
{
    for (QLineEdit* field : fields)
        field->installEventFilter(this);
}

bool UndoAndRecovery::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    const auto* field = qobject_cast<QLineEdit*>(watched);
    const QKeyCombination keys = static_cast<QKeyEvent*>(event)->keyCombination();
    const bool passOn = (keys == m_undo->shortcut()[0] && !field->isUndoAvailable())
            || (keys == m_redo->shortcut()[0] && !field->isRedoAvailable());
    // Unclaimed, the key goes on to the menu item's shortcut.
    if (passOn)
        event->ignore();
    return passOn;
}

void UndoAndRecovery::apply(std::optional<TableState> state)
{
    if (!state)
        return;
    m_table.restore(*state);
    updateActions();
}

void UndoAndRecovery::updateActions()
{
    m_undo->setText(m_history.undoText());
    m_redo->setText(m_history.redoText());
    m_undo->setEnabled(!m_busy && m_history.canUndo());
    m_redo->setEnabled(!m_busy && m_history.canRedo());
}
