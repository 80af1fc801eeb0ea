#include "cli/port_search.h"

#include "device/device_search.h"
#include "device/port_catalogue.h"

namespace cli {

QStringList answeringPorts(const QMap<int, QString>& mappedPaths, const QString& settingsText)
{
    const QList<PortRow> table = port_catalogue::scan(mappedPaths);
    return device_search::answering(device_search::probeAll(device_search::candidates(table), settingsText));
}

}  // namespace cli
