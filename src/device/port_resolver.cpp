#include "device/port_resolver.h"

#include "device/qt_serial_link.h"
#include "device/serial_link.h"

#include <QRegularExpression>

namespace {

QString listed(const QStringList& lines)
{
    return lines.isEmpty() ? QString() : QStringLiteral("\n  ") + lines.join(QStringLiteral("\n  "));
}

PortChoiceError choiceError(const QString& text)
{
    return PortChoiceError(text.toStdString());
}

}  // namespace

QString ChosenPort::devicePath() const
{
    return pathGiven ? paths.value(comPort) : PortResolver::comPath(comPort, paths);
}

QString ChosenPort::label() const
{
    return PortResolver::labelOf(devicePath());
}

void ChosenPort::configure(QtSerialLink& link) const
{
    link.setPortPaths(paths);
    link.configure(comPort, settingsText);
    if (pathGiven)
        link.setDevicePath(paths.value(comPort));
}

PortResolver::PortResolver(PortDefaults defaults, Scan scan, Probe probe)
    : m_defaults(std::move(defaults)), m_scan(scan ? std::move(scan) : Scan(port_catalogue::scan)),
      m_probe(probe ? std::move(probe) : Probe(device_search::probeAll))
{ }

QString PortResolver::comPath(int comPort, const QMap<int, QString>& mapping)
{
    if (comPort < 1)
        throw SerialError(QStringLiteral("Invalid port number COM%1").arg(comPort).toStdString());
    const QString mapped = mapping.value(comPort).trimmed();
    if (!mapped.isEmpty())
        return mapped;
    return QStringLiteral("/dev/ttyS%1").arg(comPort - 1);
}

QString PortResolver::labelOf(const QString& devicePath)
{
    return devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
}

const QList<PortRow>& PortResolver::catalogue() &
{
    if (!m_catalogue)
        m_catalogue = m_scan(m_defaults.mapping);
    return *m_catalogue;
}

const QList<ProbeResult>& PortResolver::probes() &
{
    if (!m_probes)
        m_probes = m_probe(device_search::candidates(catalogue()), m_defaults.settingsText);
    return *m_probes;
}

ChosenPort PortResolver::forPath(const QString& given, const QString& path) const
{
    ChosenPort choice{given, m_defaults.comPort,      m_defaults.mapping,
                      false, m_defaults.settingsText, m_defaults.fastExchange};
    // The status lines name the COM number the window would use for the path,
    // so a log reads the same whichever way the port was given.
    static const QRegularExpression kTtyS(QStringLiteral("^/dev/ttyS([0-9]{1,4})$"));
    const QRegularExpressionMatch tty = kTtyS.match(path);
    const int mapped = choice.paths.key(path, 0);
    if (mapped > 0)
        choice.comPort = mapped;
    else if (tty.hasMatch() && !choice.paths.contains(tty.captured(1).toInt() + 1))
        choice.comPort = tty.captured(1).toInt() + 1;
    else if (choice.comPort < 1)  // PORT names no port (PORT=0), and this run does not use it
        choice.comPort = 1;
    choice.pathGiven = mapped == 0;
    choice.paths.insert(choice.comPort, path);
    return choice;
}

ChosenPort PortResolver::resolve(const QString& port)
{
    if (port == QLatin1String(kAuto))
        return forPath(port, onlyAnswering(probes()));
    if (port.startsWith(QLatin1String(kSerialPrefix)))
        return forPath(port, bySerialNumber(port.mid(static_cast<qsizetype>(sizeof kSerialPrefix) - 1), catalogue()));
    if (!port.isEmpty() && !port.startsWith(QLatin1String("COM")))
        return forPath(port, port);
    ChosenPort choice{port,  m_defaults.comPort,      m_defaults.mapping,
                      false, m_defaults.settingsText, m_defaults.fastExchange};
    if (!port.isEmpty())
        choice.comPort = port.mid(3).toInt();
    return choice;
}

QList<ChosenPort> PortResolver::resolveAll(const QStringList& ports)
{
    QList<ChosenPort> chosen;
    if (ports.contains(QLatin1String(kAllPorts))) {
        const QStringList found = device_search::answering(probes());
        if (found.isEmpty())
            throw choiceError(QStringLiteral("--port auto-all: no serial port has a device that answers"));
        for (const QString& path : found)
            chosen.append(forPath(path, path));
        return chosen;
    }
    for (const QString& port : ports.isEmpty() ? QStringList{QString()} : ports)
        chosen.append(resolve(port));
    return chosen;
}

QString PortResolver::onlyAnswering(const QList<ProbeResult>& results)
{
    const QStringList found = device_search::answering(results);
    if (found.size() == 1)
        return found.constFirst();
    QStringList lines;
    for (const ProbeResult& result : results)
        lines.append(result.path + QStringLiteral(": ")
                     + (result.answered ? QStringLiteral("answered") : result.detail));
    if (found.isEmpty())
        throw choiceError(QStringLiteral("--port auto: no QZ4VELD answered")
                          + (results.isEmpty() ? QStringLiteral(" (no free serial port to probe)") : listed(lines)));
    throw choiceError(QStringLiteral("--port auto: %1 devices answered; choose one with --port%2")
                              .arg(found.size())
                              .arg(listed(lines)));
}

QString PortResolver::bySerialNumber(const QString& number, const QList<PortRow>& table)
{
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
    const QString port = QLatin1String(kSerialPrefix) + number;
    if (matching.isEmpty())
        throw choiceError(QStringLiteral("--port %1: no connected serial port has the USB serial number %2%3")
                                  .arg(port, number,
                                       known.isEmpty() ? QStringLiteral(" (no port reports one)")
                                                       : QStringLiteral("; these do:") + listed(known)));
    throw choiceError(QStringLiteral("--port %1: %2 ports have that serial number; choose one by its path%3")
                              .arg(port)
                              .arg(matching.size())
                              .arg(listed(matching)));
}
