#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The four settings of QZ4Vel.ini, plus the Linux port mapping.
struct Settings final {
    int comPort = 1;  // [COMSETTINGS] PORT
    QString baud = QStringLiteral("9600");  // [COMSETTINGS] BAUD, as text
    QString parity = QStringLiteral("N");  // [COMSETTINGS] PARITY
    int enableStrings = 0;  // [GENERAL] ENABLESTRINGS, 1 = notes on
    QMap<int, QString> portPaths;  // [PORTS] COM<n>=<device path>
    int fastExchange = 0;  // [GENERAL] FASTEXCHANGE, 1 = fixed waits end once the answer is in
};

namespace settings_file {

// QZ4Vel.ini in the program folder.
QString pathIn(const QString& programFolder);

// Where QZ4Vel.ini is read from and saved to. Its home is the program folder;
// an installed copy (under /opt, say) cannot write there, so SAVE then goes to
// the user's configuration folder instead, and reading follows it there.
struct Location final {
    QString programPath;  // QZ4Vel.ini in the program folder
    QString userPath;  // QZ4Vel.ini in the user's configuration folder
    QString readPath;  // what start-up reads
    QString savePath;  // what SAVE writes
    bool savesToUser = false;  // the program folder's file cannot be written
};

// The user's configuration folder for this program: ~/.config/qz4veld.
QString userFolder();

// True when a new QZ4Vel.ini can be put into the folder: the check creates
// and removes a file there, so read-only mounts and missing folders count too.
bool folderWritable(const QString& folder);

// SAVE writes the program folder's file when the folder and that file can be
// written, else the user's file. Start-up reads the file SAVE writes, so that
// a saved choice is never shadowed by an older file; while the user has none
// yet, it reads the program folder's (which may not exist: then the defaults
// apply). A writable program folder never looks at the user's file.
Location locate(const QString& programFolder);
Location locate(const QString& programFolder, const QString& userFolder, bool programWritable);

// Before the first SAVE into the user's folder: creates that folder and, when
// the program folder holds a settings file, starts the user's file as a copy of
// it, so that lines SAVE does not write (such as [PORTS]) are kept. Does
// nothing when SAVE goes to the program folder or the user's file exists.
// Throws std::runtime_error with a plain description on failure.
void prepareSave(const Location& location);

struct LoadResult final {
    Settings settings;
    // One "Error detected - "-style description per value that could not be
    // converted; that value keeps its default and loading goes on.
    QStringList errors;
    // The file is there but could not be read (no regular file, too large,
    // unreadable): all settings are defaults. Also the first entry of errors.
    QString fileError;
    // PORT's entry of errors, if it has one: a program told its port otherwise
    // has no use for it.
    QString portError;
};

// Reads PORT, BAUD, PARITY, ENABLESTRINGS in that order (then FASTEXCHANGE and
// [PORTS]); a missing file, section or key gives the default without a message.
LoadResult load(const QString& iniPath);

// Writes PORT, BAUD, PARITY, ENABLESTRINGS in that order, keeping every other
// line; then FASTEXCHANGE and each [PORTS] COM<n>=<device path>, but only where
// the file does not already say the same (a file that never had FASTEXCHANGE
// gets it only once fast exchange is turned on; a mapping an administrator
// wrote stays as written). Paths are written in the file system's encoding, as
// load() reads them. Throws std::runtime_error with a plain description on failure.
void save(const QString& iniPath, const Settings& settings);

}  // namespace settings_file
