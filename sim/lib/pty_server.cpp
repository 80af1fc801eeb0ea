#include "sim/lib/pty_server.h"

#include <QList>
#include <QPair>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const char* what)
{
    throw DeviceError(QStringLiteral("%1 failed: %2")
                              .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)))
                              .toStdString());
}

// Microseconds: at the higher bit rates one character takes well under a millisecond.
qint64 nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

}  // namespace

PtyServer::PtyServer(DeviceModel& device) : m_device(device)
{ }

void PtyServer::setArrivalLog(const QString& path)
{
    m_arrivals.setFileName(path);
    if (!m_arrivals.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw DeviceError(QStringLiteral("cannot write %1: %2").arg(path, m_arrivals.errorString()).toStdString());
}

PtyServer::~PtyServer()
{
    closeAll();
}

void PtyServer::closeAll()
{
    // The port goes before the line drops, so nobody opens a dead terminal by its name.
    if (m_linked)
        ::unlink(QFile::encodeName(m_link).constData());
    m_linked = false;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
}

QString PtyServer::open()
{
    closeAll();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        fail("posix_openpt");
    if (::grantpt(m_master) != 0)
        fail("grantpt");
    if (::unlockpt(m_master) != 0)
        fail("unlockpt");
    const char* name = ::ptsname(m_master);
    if (name == nullptr)
        fail("ptsname");
    const QString path = QString::fromLocal8Bit(name);

    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        fail("open of the pseudo-terminal slave");
    // Raw mode: no echo of the commands, no line editing, every byte passes as is.
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0)
        fail("tcgetattr");
    ::cfmakeraw(&tio);
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0)
        fail("tcsetattr");

    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        fail("fcntl");
    if (!m_link.isEmpty()) {
        const QByteArray link = QFile::encodeName(m_link);
        struct stat existing { };
        if (::lstat(link.constData(), &existing) == 0 && S_ISLNK(existing.st_mode))
            ::unlink(link.constData());
        if (::symlink(name, link.constData()) != 0)
            fail("symlink");
        m_linked = true;
    }
    return path;
}

qint64 PtyServer::handOver(qint64 dueUs) const
{
    if (m_burstMs <= 0)
        return dueUs;
    // The next tick of the adapter's timer, which runs from the simulator's start.
    const qint64 burstUs = m_burstMs * 1000LL;
    return m_startUs + (dueUs - m_startUs + burstUs - 1) / burstUs * burstUs;
}

PtyServer::End PtyServer::serve(int stopFd, const std::function<void()>& onStateChanged)
{
    m_startUs = nowUs();
    QList<QPair<qint64, QByteArray>> pending;  // (due time in us, bytes), in order
    char buffer[512];
    // With a bit rate set, each character takes its time on the line: 1 start,
    // 8 data and 2 stop bits, in each direction.
    const qint64 characterUs = m_baud > 0 ? (11 * 1000000LL + m_baud - 1) / m_baud : 0;
    qint64 receivedUntil = 0;  // when the last command byte has fully arrived
    qint64 sentUntil = 0;  // when the last answer byte will have fully left
    qint64 commandStartUs = 0;  // when the first byte of the command being received arrived

    for (;;) {
        timespec timeout{};
        timespec* wait = nullptr;
        if (!pending.isEmpty()) {
            const qint64 left = std::max<qint64>(0, pending.constFirst().first - nowUs());
            timeout.tv_sec = static_cast<time_t>(left / 1000000);
            timeout.tv_nsec = static_cast<long>(left % 1000000) * 1000;
            wait = &timeout;
        }
        pollfd fds[2] = {{m_master, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::ppoll(fds, 2, wait, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            fail("poll");
        }
        if (fds[1].revents != 0)
            return End::Stopped;
        QByteArray arrived;  // the arrival log's lines of this pass

        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t count = ::read(m_master, buffer, sizeof buffer);
            const qint64 arrivedUs = nowUs();
            if (count > 0) {
                // A command is logged at its first byte: the program writes a block
                // in three parts, and noticing each one costs the simulator a wake-up.
                if (!m_device.midCommand())
                    commandStartUs = arrivedUs;
                QList<QByteArray> commands;
                QList<int> delays;
                const QList<QByteArray> answers =
                        m_device.receive(QByteArray(buffer, static_cast<qsizetype>(count)), &commands, &delays);
                if (m_arrivals.isOpen()) {
                    for (const QByteArray& command : std::as_const(commands)) {
                        arrived += QByteArray::number(commandStartUs) + ' ' + command.toHex() + '\n';
                        commandStartUs = arrivedUs;
                    }
                }
                if (m_device.unplugged()) {
                    if (!arrived.isEmpty())
                        m_arrivals.write(arrived);
                    closeAll();
                    return End::Unplugged;
                }
                const DeviceFaults& faults = m_device.faults();
                const qint64 now = nowUs();
                receivedUntil = std::max(receivedUntil, now) + count * characterUs;
                const qint64 start =
                        std::max(now, receivedUntil) + (faults.latencyMs > 0 ? faults.latencyMs * 1000LL : 0);
                qint64 due = start;
                if (!pending.isEmpty() && pending.constLast().first > due)
                    due = pending.constLast().first;
                for (qsizetype a = 0; a < answers.size(); ++a) {
                    const QByteArray& answer = answers.at(a);
                    due = std::max(due, start + delays.value(a) * 1000LL);
                    if (characterUs > 0) {
                        // Each byte is readable once its last stop bit is through.
                        due = std::max(due, sentUntil);
                        for (const char byte : answer) {
                            due += characterUs;
                            pending.append({handOver(due), QByteArray(1, byte)});
                        }
                        sentUntil = due;
                    } else if (faults.chunked) {
                        for (const char byte : answer) {
                            pending.append({handOver(due), QByteArray(1, byte)});
                            due += faults.chunkGapMs * 1000LL;
                        }
                    } else {
                        pending.append({handOver(due), answer});
                    }
                }
            } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
                fail("read from the pseudo-terminal");
            }
        } else if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) {
            // Cannot happen while our own slave descriptor is open; never spin on it.
            fail("pseudo-terminal hang-up");
        }

        const qint64 now = nowUs();
        while (!pending.isEmpty() && pending.constFirst().first <= now) {
            const QByteArray bytes = pending.takeFirst().second;
            qsizetype done = 0;
            bool waited = false;
            while (done < bytes.size()) {
                const ssize_t sent =
                        ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
                if (sent > 0) {
                    done += sent;
                } else if (sent < 0 && errno == EINTR) {
                    continue;
                } else if (sent < 0 && errno == EAGAIN && !waited) {
                    waited = true;
                    pollfd out{m_master, POLLOUT, 0};
                    ::poll(&out, 1, 50);
                } else if (sent < 0 && errno == EAGAIN) {
                    break;  // nobody reads the line: like a real UART, the bytes are lost
                } else {
                    fail("write to the pseudo-terminal");
                }
            }
        }
        // After the answers are out: writing the log or the state file may wait
        // on a busy disk, and a real device answers before it stores.
        if (!arrived.isEmpty())
            m_arrivals.write(arrived);
        if (m_device.takeStateChanged() && onStateChanged)
            onStateChanged();
    }
}
