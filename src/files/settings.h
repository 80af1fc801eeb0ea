#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The four settings of QZ4Vel.ini, plus the Linux port mapping.
struct Settings final {
    int comPort = 1;                 // [COMSETTINGS] PORT
    QString baud = QStringLiteral("9600");   // [COMSETTINGS] BAUD, as text
    QString parity = QStringLiteral("N");    // [COMSETTINGS] PARITY
    int enableStrings = 0;           // [GENERAL] ENABLESTRINGS, 1 = notes on
    QMap<int, QString> portPaths;    // [PORTS] COM<n>=<device path>
};

namespace settings_file {

// QZ4Vel.ini in the program folder.
QString pathIn(const QString& programFolder);

struct LoadResult final {
    Settings settings;
    // One "Error detected - "-style description per value that could not be
    // converted; that value keeps its default and loading goes on.
    QStringList errors;
};

// Reads PORT, BAUD, PARITY, ENABLESTRINGS in that order (and [PORTS]); a missing
// file, section or key gives the default without a message.
LoadResult load(const QString& iniPath);

// Writes PORT, BAUD, PARITY, ENABLESTRINGS in that order, keeping every other
// line. Throws std::runtime_error with a plain description on failure.
void save(const QString& iniPath, const Settings& settings);

}  // namespace settings_file
