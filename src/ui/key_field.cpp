#include "ui/key_field.h"

#include <QKeyEvent>

KeyField::KeyField(int line, QWidget* parent) : QLineEdit(parent), m_line(line)
{
    setReadOnly(true);
}

void KeyField::keyPressEvent(QKeyEvent* event)
{
    if (m_keyHandler && m_keyHandler(*this, *event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
