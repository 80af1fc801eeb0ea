#include "cli/console_messages.h"

#include "cli/console_status.h"

namespace cli {

void ConsoleMessages::info(const QString& text)
{
    ++m_shown;
    m_status.printMessage(text);
}

bool ConsoleMessages::confirm(const QString& text, const QString&)
{
    m_status.printMessage(text + QStringLiteral(" -- answered No (no one to ask)"));
    return false;
}

}  // namespace cli
