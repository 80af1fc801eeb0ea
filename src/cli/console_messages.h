#pragma once

#include "model/messages.h"

namespace cli {

class ConsoleStatus;

// Message boxes become lines on standard error; there is nobody to answer a
// question, so every question is answered No.
class ConsoleMessages final : public Messages {
public:
    explicit ConsoleMessages(ConsoleStatus& status) : m_status(status) { }

    void info(const QString& text) override;
    bool confirm(const QString& text, const QString& title) override;
    void beep() override { }

    int shown() const { return m_shown; }

private:
    ConsoleStatus& m_status;
    int m_shown = 0;
};

}  // namespace cli
