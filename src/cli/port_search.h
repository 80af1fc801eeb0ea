#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace cli {

// The device paths where a device answers the presence probe, in the order the
// system lists its serial ports, then the [PORTS] mapping's paths. Only the
// probe is sent, to ports that are free; each port is tried on a thread of its
// own, so the search takes as long as one check.
QStringList answeringPorts(const QMap<int, QString>& mappedPaths, const QString& settingsText);

}  // namespace cli
