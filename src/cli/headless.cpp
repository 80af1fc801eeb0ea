#include "cli/headless.h"

#include "cli/console_status.h"
#include "model/capacity.h"

#include <stdexcept>

namespace cli {

HeadlessView::HeadlessView(int lengthIndex) : m_lengthIndex(capacity::kDefaultListIndex)
{
    selectStringLengthIndex(lengthIndex);
}

void HeadlessView::selectStringLengthIndex(int index)
{
    if (index < 0 || index >= capacity::kLengthCount)
        throw std::out_of_range(QStringLiteral("string length entry %1 does not exist (0..%2)")
                                    .arg(index)
                                    .arg(capacity::kLengthCount - 1)
                                    .toStdString());
    m_lengthIndex = index;
}

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
