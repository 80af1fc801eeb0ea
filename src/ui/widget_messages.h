#pragma once

#include "model/messages.h"

class QWidget;

// Messages answered by real modal message boxes over the main window.
class WidgetMessages final : public Messages {
public:
    explicit WidgetMessages(QWidget* parent = nullptr) : m_parent(parent) { }
    void setParent(QWidget* parent) { m_parent = parent; }

    void info(const QString& text) override;
    bool confirm(const QString& text, const QString& title) override;
    void beep() override;

private:
    QWidget* m_parent;
};
