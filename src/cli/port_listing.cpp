#include "cli/port_listing.h"

#include "cli/console_status.h"

#include <QStringList>

namespace cli {

namespace {

QString cell(const QString& text)
{
    return terminalSafe(text);  // a tab or line break in a USB string would shift the columns
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

}  // namespace

QByteArray portTable(const QList<PortRow>& table, const QList<ProbeResult>* probes)
{
    QStringList header = port_catalogue::headers();
    if (probes)
        header.append(QStringLiteral("QZ4VELD"));
    QStringList lines{header.join(QLatin1Char('\t'))};
    for (const PortRow& row : table) {
        QStringList cells{cell(row.devicePath),   cell(row.stablePath), cell(row.description), cell(row.manufacturer),
                          cell(row.serialNumber), row.vidPid,           yesNo(row.inUse)};
        if (probes) {
            bool answered = false;
            for (const ProbeResult& probe : *probes)
                answered = answered || (probe.answered && probe.path == row.mappingPath());
            cells.append(yesNo(answered));
        }
        lines.append(cells.join(QLatin1Char('\t')));
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

}  // namespace cli
