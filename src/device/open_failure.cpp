#include "device/open_failure.h"

#include "device/port_holders.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace serial_errors {

namespace {

bool sessionHasGroup(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(count > 0 ? count : 0));
    const int got = count > 0 ? ::getgroups(count, groups.data()) : 0;
    for (int i = 0; i < got; ++i) {
        if (groups[static_cast<std::size_t>(i)] == gid)
            return true;
    }
    return false;
}

}  // namespace

NodeFacts inspect(const QString& path)
{
    NodeFacts facts;
    const QByteArray local = QFile::encodeName(path);
    facts.accessErrno = ::access(local.constData(), R_OK | W_OK) == 0 ? 0 : errno;
    struct stat node { };
    if (::stat(local.constData(), &node) != 0)
        return facts;
    facts.mode = static_cast<int>(node.st_mode & 07777);
    const passwd* owner = ::getpwuid(node.st_uid);
    facts.owner = owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(node.st_uid);
    const group* nodeGroup = ::getgrgid(node.st_gid);
    facts.group = nodeGroup ? QString::fromLocal8Bit(nodeGroup->gr_name) : QString::number(node.st_gid);
    facts.sessionInGroup = sessionHasGroup(node.st_gid);
    if (const passwd* user = ::getpwuid(::geteuid())) {
        facts.userInGroup = user->pw_gid == node.st_gid;
        for (char** member = nodeGroup ? nodeGroup->gr_mem : nullptr; member && *member && !facts.userInGroup; ++member)
            facts.userInGroup = std::strcmp(*member, user->pw_name) == 0;
    }
    if (facts.accessErrno == 0)
        facts.holder = PortHolders::scan().holderOf(path);
    return facts;
}

QString describeOpenFailure(const QString& path, QSerialPort::SerialPortError error, const QString& errorText,
                            const NodeFacts& facts)
{
    if (error == QSerialPort::DeviceNotFoundError || facts.accessErrno == ENOENT) {
        if (!facts.mappedAs.isEmpty())
            return QStringLiteral("%1 is mapped to %2 which is not connected; plug it in or choose another device")
                    .arg(facts.mappedAs, path);
        return QStringLiteral("Cannot open %1: no such serial device").arg(path);
    }
    if (error == QSerialPort::PermissionError && (facts.accessErrno == EACCES || facts.accessErrno == EPERM)) {
        // Joining the group helps only when the group may read and write the device.
        const bool groupGrants = (facts.mode & 060) == 060;
        if (groupGrants && !facts.userInGroup)
            return QStringLiteral("Permission denied opening %1: add your user to the %2 group "
                                  "(sudo usermod -aG %2 $USER), then log out and in again")
                    .arg(path, facts.group);
        if (groupGrants && !facts.sessionInGroup)
            return QStringLiteral("Permission denied opening %1: your user is in the %2 group, but this session "
                                  "started before that; log out and in again")
                    .arg(path, facts.group);
        return QStringLiteral("Permission denied opening %1 (owner %2, group %3, mode %4)")
                .arg(path, facts.owner, facts.group, QStringLiteral("%1").arg(facts.mode, 4, 8, QLatin1Char('0')));
    }
    if (error == QSerialPort::PermissionError) {
        // Access is granted, so the refusal is a lock or an exclusive open held elsewhere.
        const QString text = QStringLiteral("Cannot open %1: in use by another program").arg(path);
        return facts.holder.isEmpty() ? text : text + QStringLiteral(" (%1)").arg(facts.holder);
    }
    return QStringLiteral("Cannot open %1: %2").arg(path, errorText);
}

}  // namespace serial_errors
