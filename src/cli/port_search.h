#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace cli {

// The device paths where a device answers the presence probe: the device
// search over the serial device table (listed ports by device path, then the
// [PORTS] paths), each port by the path a mapping would name. Only the probe
// is sent, to ports that are free, all at once.
QStringList answeringPorts(const QMap<int, QString>& mappedPaths, const QString& settingsText);

}  // namespace cli
