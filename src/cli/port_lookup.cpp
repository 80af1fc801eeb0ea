#include "cli/port_lookup.h"

#include "cli/cli_options.h"
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

QString listed(const QStringList& lines)
{
    return lines.isEmpty() ? QString() : QStringLiteral("\n  ") + lines.join(QStringLiteral("\n  "));
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

QString onlyAnswering(const QList<ProbeResult>& results)
{
    const QStringList found = device_search::answering(results);
    if (found.size() == 1)
        return found.constFirst();
    QStringList lines;
    for (const ProbeResult& result : results)
        lines.append(result.path + QStringLiteral(": ")
                     + (result.answered ? QStringLiteral("answered") : result.detail));
    if (found.isEmpty())
        throw UsageError((QStringLiteral("--port auto: no QZ4VELD answered")
                          + (results.isEmpty() ? QStringLiteral(" (no free serial port to probe)") : listed(lines)))
                                 .toStdString());
    throw UsageError(QStringLiteral("--port auto: %1 devices answered; choose one with --port%2")
                             .arg(found.size())
                             .arg(listed(lines))
                             .toStdString());
}

QString resolvePort(const QString& port, const QList<PortRow>& table, const QString& settingsText)
{
    if (port == QLatin1String("auto"))
        return onlyAnswering(device_search::probeAll(device_search::candidates(table), settingsText));
    if (!port.startsWith(QLatin1String("serial:")))
        return port;
    const QString number = port.mid(7);
    QStringList matching;
    QStringList known;
    for (const PortRow& row : table) {
        if (row.serialNumber == number)
            matching.append(row.mappingPath());
        else if (!row.serialNumber.isEmpty())
            known.append(row.mappingPath() + QStringLiteral(": ") + row.serialNumber);
    }
    if (matching.size() == 1)
        return matching.constFirst();
    if (matching.isEmpty())
        throw UsageError(QStringLiteral("--port %1: no connected serial port has the USB serial number %2%3")
                                 .arg(port, number,
                                      known.isEmpty() ? QStringLiteral(" (no port reports one)")
                                                      : QStringLiteral("; these do:") + listed(known))
                                 .toStdString());
    throw UsageError(QStringLiteral("--port %1: %2 ports have that serial number; choose one by its path%3")
                             .arg(port)
                             .arg(matching.size())
                             .arg(listed(matching))
                             .toStdString());
}

}  // namespace cli
