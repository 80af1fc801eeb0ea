#include "ui/key_field.h"

#include "ui/ctrl_tab.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

KeyField::KeyField(int line, QWidget* parent) : QLineEdit(parent), m_line(line)
{
    setReadOnly(true);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setPrintedLabel(QString());
}

void KeyField::setPrintedLabel(const QString& label)
{
    QString tip = QLatin1String(kToolTip);
    if (!label.isEmpty())
        tip += QLatin1Char('\n') + QStringLiteral("%1 (labelled %2 on this keyboard)").arg(text(), label);
    tip += QLatin1Char('\n') + QLatin1String(kWayOut);
    if (tip == toolTip())
        return;  // a change is an event to every screen reader listening
    setToolTip(tip);
    setAccessibleDescription(tip);
}

QVariant KeyField::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // A compose or input method context asks this before it takes keys for itself.
    if (query == Qt::ImEnabled)
        return false;
    return QLineEdit::inputMethodQuery(query);
}

void KeyField::inputMethodEvent(QInputMethodEvent* event)
{
    event->ignore();  // composed text would show what no key of the table names
}

bool KeyField::event(QEvent* event)
{
    if (m_keyHandler) {
        // Claiming the shortcut override makes the key arrive here as a key press
        // rather than as a shortcut or the menu bar's Alt navigation, which watch
        // for the override on its way up to the window.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        // Ctrl+Tab and Ctrl+Shift+Tab move the focus. Tab and Shift+Tab are keys
        // to capture here, not focus moves: they go to keyPressEvent before the
        // widget's own focus handling sees them.
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (const int step = ctrlTabStep(*key)) {
                focusNextPrevChild(step > 0);
                return true;
            }
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
                keyPressEvent(key);
                return true;
            }
        }
    }
    return QLineEdit::event(event);
}

void KeyField::keyPressEvent(QKeyEvent* event)
{
    if (m_keyHandler && m_keyHandler(*this, *event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
