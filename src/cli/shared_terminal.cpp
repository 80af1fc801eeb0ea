#include "cli/shared_terminal.h"

#include "cli/console_status.h"
#include "cli/runner.h"

namespace cli {

SharedTerminal::SharedTerminal(Console& console, bool board) : m_console(console), m_board(board)
{ }

int SharedTerminal::addDevice(const QString& label)
{
    QMutexLocker lock(&m_mutex);
    m_labels.append(label);
    m_progress.append(QString());
    return static_cast<int>(m_labels.size()) - 1;
}

void SharedTerminal::eraseBoard()
{
    if (m_drawn > 0)
        m_console.err.write(QByteArrayLiteral("\x1b[") + QByteArray::number(m_drawn) + QByteArrayLiteral("A\r\x1b[J"));
    m_drawn = 0;
    m_changed = true;
}

void SharedTerminal::print(bool toErr, const QByteArray& lines)
{
    QMutexLocker lock(&m_mutex);
    eraseBoard();
    // A closed pipe must not end any device's run: a failed write is dropped.
    (toErr ? m_console.err : m_console.out).write(lines);
}

void SharedTerminal::setProgress(int device, const QString& line)
{
    QMutexLocker lock(&m_mutex);
    if (m_progress.at(device) != line) {
        m_progress[device] = line;
        m_changed = true;
    }
}

void SharedTerminal::setFooter(const QString& line)
{
    QMutexLocker lock(&m_mutex);
    m_changed = m_changed || m_footer != line;
    m_footer = line;
}

void SharedTerminal::redraw()
{
    QMutexLocker lock(&m_mutex);
    if (!m_board || m_finished || !m_changed)
        return;
    eraseBoard();
    QByteArray board;
    for (qsizetype i = 0; i < m_progress.size(); ++i) {
        if (m_progress.at(i).isEmpty())
            continue;
        board += ('[' + terminalSafe(m_labels.at(i)) + QStringLiteral("] ") + m_progress.at(i)).toUtf8() + '\n';
        ++m_drawn;
    }
    if (!m_footer.isEmpty()) {
        board += m_footer.toUtf8() + '\n';
        ++m_drawn;
    }
    m_console.err.write(board);
    m_changed = false;
}

void SharedTerminal::finish()
{
    QMutexLocker lock(&m_mutex);
    eraseBoard();
    m_finished = true;
}

PrefixedStream::PrefixedStream(SharedTerminal& terminal, const QString& label, bool toErr)
    : m_terminal(terminal), m_prefix(('[' + terminalSafe(label) + QStringLiteral("] ")).toUtf8()), m_toErr(toErr)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

PrefixedStream::~PrefixedStream()
{
    if (!m_pending.isEmpty())
        m_terminal.print(m_toErr, m_prefix + m_pending + '\n');
}

qint64 PrefixedStream::writeData(const char* data, qint64 size)
{
    m_pending.append(data, size);
    QByteArray lines;
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        lines += m_prefix + m_pending.first(end + 1);
        m_pending.remove(0, end + 1);
    }
    if (!lines.isEmpty())
        m_terminal.print(m_toErr, lines);
    return size;
}

}  // namespace cli
