#include "ui/widget_messages.h"

#include <QApplication>
#include <QMessageBox>

void WidgetMessages::info(const QString& text)
{
    // The application's own name is the title, as the operator knows the boxes.
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool WidgetMessages::confirm(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

void WidgetMessages::beep()
{
    QApplication::beep();
}
