#pragma once

#include "device/device_search.h"
#include "device/port_catalogue.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <stdexcept>

class QtSerialLink;

// A port named in a way that fits no port, or several; what() says which and
// lists the candidates, one per line.
class PortChoiceError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a run falls back on when no port is named: the settings file's port,
// its [PORTS] mapping and how the line is set.
struct PortDefaults final {
    int comPort = 1;
    QMap<int, QString> mapping;  // COM<n> -> device path
    QString settingsText = QStringLiteral("9600,N,8,2");  // "<baud>,<parity>,8,2", also what probes use
    bool fastExchange = false;
};

// One port as a run opens it.
struct ChosenPort final {
    QString given;  // as named (a search's find for auto-all), "" for the settings file's port
    int comPort = 1;  // the number the status lines name
    QMap<int, QString> paths;  // the mapping, with the chosen path as comPort's
    bool pathGiven = false;  // a path that no [PORTS] entry holds: opened as itself
    QString settingsText;
    bool fastExchange = false;

    // The device path that is opened.
    QString devicePath() const;
    // How lines name the port: its path below /dev, else the path.
    QString label() const;
    // Configures a closed link for this port.
    void configure(QtSerialLink& link) const;
};

// Turns what the operator names into ports: COM<n> (mapped as the window maps
// it), a device path, "auto" (the one port where a QZ4VELD answers),
// "serial:<n>" (the port whose USB adapter reports that serial number),
// "auto-all" (every port where a device answers, or for a station every free
// port). The serial device table is read at most once and the free ports are
// probed at most once, however many ports are named.
class PortResolver final {
public:
    using Scan = std::function<QList<PortRow>(const QMap<int, QString>& mapping)>;
    using Probe = std::function<QList<ProbeResult>(const QStringList& paths, const QString& settingsText)>;

    static constexpr char kAuto[] = "auto";
    static constexpr char kAllPorts[] = "auto-all";
    static constexpr char kSerialPrefix[] = "serial:";

    // scan and probe default to the system's table and the presence check.
    explicit PortResolver(PortDefaults defaults, Scan scan = {}, Probe probe = {});

    // COM<n> -> its [PORTS] path, else /dev/ttyS<n-1>; throws SerialError below 1.
    static QString comPath(int comPort, const QMap<int, QString>& mapping);
    // "ttyUSB0" for /dev/ttyUSB0, "pts/3" for /dev/pts/3; a path elsewhere as it is.
    static QString labelOf(const QString& devicePath);

    // One port; "" is the settings file's. Throws PortChoiceError for auto and
    // serial:<n> when none or several fit.
    ChosenPort resolve(const QString& port);
    // Each port as resolve(), "auto-all" alone standing for every port where a
    // device answers (PortChoiceError when none does); no port is the settings
    // file's.
    QList<ChosenPort> resolveAll(const QStringList& ports);

    // The serial device table, read on first use.
    const QList<PortRow>& catalogue() &;
    // The presence check on every free port of the table, run on first use.
    const QList<ProbeResult>& probes() &;

    // The choice among probe results for "auto"; throws PortChoiceError.
    static QString onlyAnswering(const QList<ProbeResult>& results);
    // The port of the table whose USB serial number is `number`; throws PortChoiceError.
    static QString bySerialNumber(const QString& number, const QList<PortRow>& table);

private:
    ChosenPort forPath(const QString& given, const QString& path) const;

    PortDefaults m_defaults;
    Scan m_scan;
    Probe m_probe;
    std::optional<QList<PortRow>> m_catalogue;
    std::optional<QList<ProbeResult>> m_probes;
};
