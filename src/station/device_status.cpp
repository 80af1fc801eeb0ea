#include "station/device_status.h"

#include <algorithm>

namespace {

const QString kVersionLine = QStringLiteral("Version = ");
const QString kNoVersion = QStringLiteral("???");

}  // namespace

QString DeviceStatus::version() const
{
    for (const QString& line : m_lines) {
        if (line.startsWith(kVersionLine) && line != kVersionLine + kNoVersion)
            return line.mid(kVersionLine.size());
    }
    return {};
}

QString DeviceStatus::failure() const
{
    if (!m_message.isEmpty())
        return m_message;
    // " 2 FAILED blocks" says what went wrong; "FAILED OPERATION" alone does not, the last line does.
    const QString completion = m_completion.trimmed();
    if (completion.isEmpty() || (!completion.front().isDigit() && !lastLine().isEmpty()))
        return lastLine();
    return completion;
}

int DeviceStatus::add(const QString& line)
{
    m_lines.append(line);
    return static_cast<int>(m_lines.size()) - 1;
}

void DeviceStatus::setLine(int index, const QString& line)
{
    if (index >= 0 && index < m_lines.size())
        m_lines[index] = line;
}

void DeviceStatus::setProgressValue(int value)
{
    m_value = value;
    // Send and Verify count rows 0..maximum.
    const int percent = m_maximum > 0 ? std::clamp(value * 100 / m_maximum, 0, 100) : 0;
    if (percent != m_shownPercent) {
        m_shownPercent = percent;
        m_percent(percent);
    }
}
