#include "device/port_catalogue.h"

#include "device/port_holders.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace port_catalogue {

namespace {

QString canonical(const QString& path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

QString hex4(int value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

}  // namespace

QList<PortInfo> systemPorts()
{
    QList<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortInfo port;
        port.devicePath = info.systemLocation();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.productId = info.productIdentifier();
        ports.append(port);
    }
    return ports;
}

QMap<QString, QString> stableLinks(const QString& folder)
{
    QMap<QString, QString> links;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::System | QDir::Files, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (!entry.isSymLink())
            continue;
        const QString target = entry.canonicalFilePath();
        // The first name in order wins, so the choice does not change between scans.
        if (!target.isEmpty() && !links.contains(target))
            links.insert(target, entry.absoluteFilePath());
    }
    return links;
}

QList<PortRow> rows(const QList<PortInfo>& ports, const QMap<QString, QString>& stable,
                    const QMap<int, QString>& mapping, const std::function<bool(const QString&)>& inUse)
{
    QList<PortRow> table;
    for (const PortInfo& port : ports) {
        PortRow row;
        row.devicePath = port.devicePath;
        row.stablePath = stable.value(canonical(port.devicePath));
        row.description = port.description;
        row.manufacturer = port.manufacturer;
        row.serialNumber = port.serialNumber;
        if (port.vendorId >= 0 && port.productId >= 0)
            row.vidPid = hex4(port.vendorId) + QLatin1Char(':') + hex4(port.productId);
        table.append(row);
    }
    std::sort(table.begin(), table.end(),
              [](const PortRow& a, const PortRow& b) { return a.devicePath < b.devicePath; });

    for (auto it = mapping.cbegin(); it != mapping.cend(); ++it) {
        const QString path = it.value().trimmed();
        if (path.isEmpty())
            continue;
        const QString name = QStringLiteral("COM%1").arg(it.key());
        int index = indexOf(table, path);
        if (index < 0) {
            PortRow row;
            row.present = QFileInfo::exists(path);
            // A link (by-id, a symlink to a pseudo-terminal) shows where it leads.
            row.devicePath = row.present ? canonical(path) : path;
            row.stablePath = row.present && row.devicePath != path ? path : QString();
            row.description = row.present ? QStringLiteral("mapped as %1").arg(name)
                                          : QStringLiteral("mapped as %1, not connected").arg(name);
            table.append(row);
            index = static_cast<int>(table.size() - 1);
        }
        PortRow& row = table[index];
        row.mappedAs = row.mappedAs.isEmpty() ? name : row.mappedAs + QStringLiteral(", ") + name;
    }
    for (PortRow& row : table)
        row.inUse = row.present && inUse && inUse(row.devicePath);
    return table;
}

QList<PortRow> scan(const QMap<int, QString>& mapping)
{
    const PortHolders holders = PortHolders::scan();
    return rows(systemPorts(), stableLinks(), mapping,
                [&holders](const QString& path) { return !holders.holderOf(path).isEmpty(); });
}

int indexOf(const QList<PortRow>& table, const QString& path)
{
    const QString target = canonical(path);
    for (int i = 0; i < table.size(); ++i) {
        const PortRow& row = table.at(i);
        if (row.devicePath == path || row.devicePath == target || (!row.stablePath.isEmpty() && row.stablePath == path))
            return i;
    }
    return -1;
}

const QStringList& headers()
{
    static const QStringList names{QStringLiteral("Device"),        QStringLiteral("Stable path"),
                                   QStringLiteral("Description"),   QStringLiteral("Manufacturer"),
                                   QStringLiteral("Serial number"), QStringLiteral("VID:PID"),
                                   QStringLiteral("In use")};
    return names;
}

}  // namespace port_catalogue
