#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

// One serial port as the system lists it (the fields of QSerialPortInfo), kept
// as plain data so the table can be built from any list.
struct PortInfo final {
    QString devicePath;  // /dev/ttyUSB0
    QString description;
    QString manufacturer;
    QString serialNumber;
    int vendorId = -1;  // -1: not a USB device
    int productId = -1;
};

// One line of the serial device table.
struct PortRow final {
    QString devicePath;  // the node the kernel made, e.g. /dev/ttyUSB0
    QString stablePath;  // /dev/serial/by-id/... that leads to it, "" when none does
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString vidPid;  // "0403:6001", "" when not USB
    bool inUse = false;  // another program holds it
    bool present = true;  // false for a [PORTS] path that leads nowhere now
    QString mappedAs;  // "COM3" when [PORTS] maps a COM entry to this device

    // What a [PORTS] line should name: the path that survives replugging.
    QString mappingPath() const { return stablePath.isEmpty() ? devicePath : stablePath; }
};

namespace port_catalogue {

inline const QString kStableFolder = QStringLiteral("/dev/serial/by-id");

// The ports QSerialPortInfo sees now.
QList<PortInfo> systemPorts();

// Canonical device path -> the stable link in `folder` that resolves to it.
QMap<QString, QString> stableLinks(const QString& folder = kStableFolder);

// The table: one row per listed port, sorted by device path, then one row per
// [PORTS] path that no listed row stands for (a pseudo-terminal, a device
// unplugged since it was mapped). inUse answers for a device path.
QList<PortRow> rows(const QList<PortInfo>& ports, const QMap<QString, QString>& stable,
                    const QMap<int, QString>& mapping, const std::function<bool(const QString&)>& inUse);

// rows() over the system's ports, stable links and port holders.
QList<PortRow> scan(const QMap<int, QString>& mapping);

// The row whose device or stable path is `path` (after following links); -1 when none.
int indexOf(const QList<PortRow>& table, const QString& path);

// "Device", "Stable path", "Description", "Manufacturer", "Serial number", "VID:PID", "In use"
const QStringList& headers();

}  // namespace port_catalogue
