#include "device/port_holders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <limits.h>
#include <unistd.h>

namespace {

const QStringList& lockFolders()
{
    // Where serial tools put their lock files on Linux distributions.
    static const QStringList folders{QStringLiteral("/run/lock"), QStringLiteral("/var/lock"),
                                     QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
                                     QDir::tempPath()};
    return folders;
}

bool processAlive(qint64 pid)
{
    return pid > 0 && pid != ::getpid() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

QString programName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readLine()).trimmed() : QString();
    return name.isEmpty() ? QStringLiteral("pid %1").arg(pid) : QStringLiteral("%1, pid %2").arg(name).arg(pid);
}

QString canonical(const QString& path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

// Every /dev node that another process has open, read straight from /proc:
// thousands of descriptors on a desktop, so no QFileInfo per entry.
QHash<QString, QString> openDeviceNodes()
{
    QHash<QString, QString> nodes;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return nodes;
    const pid_t self = ::getpid();
    while (const dirent* process = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(process->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        const QByteArray fdFolder = "/proc/" + QByteArray(process->d_name) + "/fd";
        DIR* fds = ::opendir(fdFolder.constData());
        if (!fds)
            continue;  // another user's process, or gone meanwhile
        while (const dirent* fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.')
                continue;
            char target[PATH_MAX];
            const QByteArray link = fdFolder + '/' + fd->d_name;
            const ssize_t size = ::readlink(link.constData(), target, sizeof target - 1);
            // A pseudo-terminal is held open by the program on its other side
            // (a simulator, a terminal): only a lock file says someone else uses it.
            if (size > 5 && std::strncmp(target, "/dev/", 5) == 0 && std::strncmp(target, "/dev/pts/", 9) != 0) {
                const QString node = QString::fromLocal8Bit(target, static_cast<int>(size));
                if (!nodes.contains(node))
                    nodes.insert(node, programName(pid));
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return nodes;
}

}  // namespace

PortHolders PortHolders::scan()
{
    PortHolders holders;
    holders.m_openBy = openDeviceNodes();
    return holders;
}

QString PortHolders::lockName(const QString& devicePath)
{
    QString name = devicePath;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    return QStringLiteral("LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

QString PortHolders::lockHolder(const QString& devicePath) const
{
    const QString name = lockName(devicePath);
    for (const QString& folder : lockFolders()) {
        QFile lock(QDir(folder).filePath(name));
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        // QLockFile writes the pid on the first line; UUCP-style locks pad it with blanks.
        bool ok = false;
        const qint64 pid = QString::fromLatin1(lock.readLine()).trimmed().toLongLong(&ok);
        if (ok && processAlive(pid))
            return programName(pid);
    }
    return {};
}

QString PortHolders::holderOf(const QString& devicePath) const
{
    const QString node = canonical(devicePath);
    const QString open = m_openBy.value(node);
    if (!open.isEmpty())
        return open;
    const QString locked = lockHolder(node);
    return locked.isEmpty() && node != devicePath ? lockHolder(devicePath) : locked;
}
