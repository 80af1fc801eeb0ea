#pragma once

#include <QHash>
#include <QString>

// Which other program holds a serial device: a lock file with a live process id
// (QSerialPort, minicom and most serial tools leave LCK..<name>), or an open
// descriptor of another process seen in /proc (tools that take no lock; for an
// ordinary user only the user's own processes are visible, which is where such
// a tool usually runs). Our own process never counts.
class PortHolders final {
public:
    static PortHolders scan();

    // "minicom (pid 4321)" or "another program"; "" when nobody else holds it.
    QString holderOf(const QString& devicePath) const;

    // The lock file name for a device: LCK..ttyUSB0, LCK..pts_3.
    static QString lockName(const QString& devicePath);

private:
    QString lockHolder(const QString& devicePath) const;

    QHash<QString, QString> m_openBy;  // canonical device path -> holder
};
