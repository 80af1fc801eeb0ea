#pragma once

#include "device/device_search.h"
#include "device/port_catalogue.h"

#include <QByteArray>
#include <QList>

namespace cli {

// `ports`: a header line, then one tab-separated line per row of the serial
// device table; with probes, the column "QZ4VELD" says yes for the paths that
// answered.
QByteArray portTable(const QList<PortRow>& table, const QList<ProbeResult>* probes);

}  // namespace cli
