#include "ui/string_field.h"

#include "ui/ctrl_tab.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>

#include <memory>

StringField::StringField(int line, QWidget* parent) : QLineEdit(parent), m_line(line)
{ }

bool StringField::event(QEvent* event)
{
    // Ctrl+Tab and Ctrl+Shift+Tab move on here too, as they do from a key field.
    if (event->type() == QEvent::KeyPress) {
        if (const int step = ctrlTabStep(*static_cast<QKeyEvent*>(event))) {
            focusNextPrevChild(step > 0);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void StringField::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    if (typed.isEmpty()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const bool upper = m_inHexField && m_inHexField();
    emit characterTyped(m_line);
    if (!upper || typed.toUpper() == typed) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent upperEvent(event->type(), event->key(), event->modifiers(), typed.toUpper(), event->isAutoRepeat(),
                         static_cast<quint16>(event->count()));
    QLineEdit::keyPressEvent(&upperEvent);
    event->setAccepted(upperEvent.isAccepted());
}

void StringField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A message box, a menu or another application taking the focus is not
    // the operator leaving the field.
    switch (event->reason()) {
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        return;
    default:
        emit focusLost(m_line);
    }
}

void StringField::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (!actions().isEmpty()) {
        menu->addSeparator();
        menu->addActions(actions());
    }
    menu->exec(event->globalPos());
}
