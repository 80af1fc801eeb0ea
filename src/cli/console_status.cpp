#include "cli/console_status.h"

#include "files/log_file.h"

#include <QIODevice>

#include <algorithm>
#include <stdexcept>

namespace cli {

namespace {

constexpr int kBarWidth = 30;
const QByteArray kEraseLine = QByteArrayLiteral("\r\x1b[K");

}  // namespace

QString terminalSafe(const QString& text)
{
    QString safe = text;
    for (QChar& c : safe) {
        const char16_t code = c.unicode();
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
            c = QLatin1Char('?');
    }
    return safe;
}

QString progressLine(int value, int maximum, const QString& percentText)
{
    const int shownValue = std::clamp(value, 0, std::max(maximum, 0));
    const int filled = maximum > 0 ? shownValue * kBarWidth / maximum : 0;
    return QStringLiteral("Progress [%1%2] row %3/%4 %5")
            .arg(QString(filled, QLatin1Char('#')), QString(kBarWidth - filled, QLatin1Char('-')))
            .arg(value)
            .arg(maximum)
            .arg(terminalSafe(percentText));
}

ConsoleStatus::ConsoleStatus(QIODevice& lines, QIODevice& messages, bool progressBar)
    : m_lines(lines), m_messages(messages), m_barWanted(progressBar)
{ }

void ConsoleStatus::write(QIODevice& device, const QString& text)
{
    // A line printed while the bar stands on the same terminal would be glued
    // to it: the bar goes first and comes back below the line.
    const bool redraw = m_barDrawn;
    eraseBar();
    // A closed pipe must not end the run: the device work matters more than
    // its printout, so a failed write is dropped.
    device.write((terminalSafe(text) + QLatin1Char('\n')).toUtf8());
    if (redraw)
        drawBar();
}

void ConsoleStatus::printOpenLine()
{
    if (m_open < 0)
        return;
    const QString text = m_list.at(m_open);
    m_open = -1;
    if (!m_quiet)
        write(m_lines, text);
}

void ConsoleStatus::printMessage(const QString& text)
{
    m_lastMessage = text;
    printOpenLine();
    // A box of several lines (a stopped Send's ends with what the device holds)
    // is printed line by line.
    for (const QString& line : text.split(QLatin1Char('\n')))
        write(m_messages, line);
}

void ConsoleStatus::finish()
{
    printOpenLine();
    eraseBar();
}

void ConsoleStatus::checkIndex(int index) const
{
    if (index < 0 || index >= m_list.size())
        throw std::out_of_range(QStringLiteral("status line %1 is not in the list (it holds %2 lines)")
                                        .arg(index)
                                        .arg(m_list.size())
                                        .toStdString());
}

int ConsoleStatus::add(const QString& text)
{
    printOpenLine();
    m_list.append(text);
    while (m_list.size() > kMaxLines)
        m_list.removeFirst();
    m_open = static_cast<int>(m_list.size()) - 1;
    if (!m_logPath.isEmpty())
        log_file::append(m_logPath, text);
    return m_open;
}

void ConsoleStatus::setLine(int index, const QString& text)
{
    checkIndex(index);
    m_list[index] = text;
    // A line already printed cannot change on the screen; its new form is
    // printed as a line of its own, after the lines before it, so nothing
    // shown in the window is lost and the order stays as it happened.
    if (index != m_open) {
        printOpenLine();
        if (!m_quiet)
            write(m_lines, text);
    }
}

QString ConsoleStatus::line(int index) const
{
    checkIndex(index);
    return m_list.at(index);
}

void ConsoleStatus::clear()
{
    printOpenLine();
    m_list.clear();
}

void ConsoleStatus::showCompletion(const QString& text)
{
    printOpenLine();
    m_completion = text;
    write(m_lines, text);
}

void ConsoleStatus::hideCompletion(const QString&)
{
    // The window hides the label with the text it will show later; nothing to print.
    m_completion.clear();
}

void ConsoleStatus::showProgress()
{
    m_progressShown = true;
    drawBar();
}

void ConsoleStatus::hideProgress()
{
    m_progressShown = false;
    eraseBar();
    if (m_report)
        m_report(QString());
}

void ConsoleStatus::setProgressMaximum(int maximum)
{
    m_maximum = maximum;
    drawBar();
}

void ConsoleStatus::setProgressValue(int value)
{
    m_value = value;
    drawBar();
}

void ConsoleStatus::setPercentText(const QString& text)
{
    m_percent = text;
    drawBar();
}

void ConsoleStatus::drawBar()
{
    if (m_report && !m_quiet && m_progressShown)
        m_report(progressLine(m_value, m_maximum, m_percent));
    if (!m_barWanted || m_quiet || !m_progressShown)
        return;
    m_messages.write(kEraseLine + progressLine(m_value, m_maximum, m_percent).toUtf8());
    m_barDrawn = true;
}

void ConsoleStatus::eraseBar()
{
    if (!m_barDrawn)
        return;
    m_messages.write(kEraseLine);
    m_barDrawn = false;
}

}  // namespace cli
