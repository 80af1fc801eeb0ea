#pragma once

#include "device/event_loop_waiter.h"
#include "device/qt_serial_link.h"
#include "support/fake_device.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>

#include <csignal>

namespace fakedev {

// The next whole line on the process's standard output, waiting up to `ms` for it; empty when none came.
inline QByteArray nextLine(QProcess& process, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!process.canReadLine() && process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) { }
    return process.canReadLine() ? process.readLine() : QByteArray();
}

// qz4veld-sim started for an end-to-end test: the constructor waits for the
// pseudo-terminal path on its first output line; the destructor stops it.
class SimProcess final {
public:
    explicit SimProcess(const QStringList& arguments = {})
    {
        m_process.start(QStringLiteral(QZ_BIN_DIR "/qz4veld-sim"), arguments);
        m_path = QString::fromLocal8Bit(nextLine(m_process, 10000)).trimmed();
    }
    ~SimProcess() { stop(); }

    bool started() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }
    // SIGSTOP or SIGCONT: the simulator held as a loaded machine may hold it.
    void hold(bool held) { ::kill(static_cast<pid_t>(m_process.processId()), held ? SIGSTOP : SIGCONT); }
    bool waitForExit(int ms) { return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(ms); }
    // SIGTERM, then the exit code (-1 when it had to be killed).
    int stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QProcess m_process;
    QString m_path;
};

// The real serial link and event-loop waiter on a simulator's terminal, as COM1,
// with the window's recording stand-ins around them.
struct RealRig final {
    explicit RealRig(const QString& path) : link({{1, path}}) { link.configure(1, QStringLiteral("9600,N,8,2")); }
    QtSerialLink link;
    EventLoopWaiter waiter;
    RecordingStatus status;
    RecordingMessages messages;
    RowTable rows;
    RecordingView view;
    OperationContext context{link, waiter, messages, status, rows, view, 1};

    // Sends raw bytes and waits (up to seconds, not the protocol's fixed wait)
    // for `size` answer bytes: for setting the simulator up, not for judging timing.
    QByteArray settle(const QByteArray& bytes, int size)
    {
        link.open();
        link.write(bytes);
        QByteArray answer;
        for (int poll = 0; poll < 500 && answer.size() < size; ++poll) {
            waiter.delay(10);
            answer += link.readAll();
        }
        return answer;
    }
};

}  // namespace fakedev
