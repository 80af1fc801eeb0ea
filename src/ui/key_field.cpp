#include "ui/key_field.h"

#include <QKeyEvent>

KeyField::KeyField(int line, QWidget* parent) : QLineEdit(parent), m_line(line)
{
    setReadOnly(true);
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
        // Tab and Shift+Tab are keys to capture here, not focus moves: they go
        // to keyPressEvent before the widget's own focus handling sees them.
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
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
