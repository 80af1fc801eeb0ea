#pragma once

#include "device/device_search.h"
#include "device/port_catalogue.h"

#include <QList>
#include <QString>

class QIODevice;

// The serial device table on the command line, and --port values that name a
// device by what it is rather than where it is.
namespace cli {

// `ports`: a header line, then one tab-separated line per row; with probes,
// the column "QZ4VELD" says yes for the paths that answered.
QByteArray portTable(const QList<PortRow>& table, const QList<ProbeResult>* probes);

// "auto": the one path whose device answers the presence check; "serial:<n>":
// the one port with that USB serial number. Anything else is returned as it
// is. Throws UsageError listing the candidates when none or several fit.
QString resolvePort(const QString& port, const QList<PortRow>& table, const QString& settingsText);

// resolvePort's choice among the probe results of --port auto.
QString onlyAnswering(const QList<ProbeResult>& results);

}  // namespace cli
