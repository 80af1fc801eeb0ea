#include "files/settings.h"

#include "files/atomic_write.h"
#include "files/file_error.h"
#include "files/ini_file.h"
#include "files/leading_number.h"
#include "files/regular_file.h"
#include "model/error_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

const QString kComSection = QStringLiteral("COMSETTINGS");
const QString kGeneralSection = QStringLiteral("GENERAL");
const QString kPortsSection = QStringLiteral("PORTS");
const QString kFastExchangeKey = QStringLiteral("FASTEXCHANGE");

// Long hand-edited values are cut in messages so the message box stays readable;
// control characters (a NUL would end the text where it is shown) become "?".
QString quoted(const QString& value)
{
    constexpr int kShown = 40;
    QString shown = value.size() > kShown ? value.left(kShown) + QStringLiteral("...") : value;
    for (QChar& c : shown) {
        if (c.unicode() < 0x20) {
            c = QLatin1Char('?');
        }
    }
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// A 16-bit signed number: the whole number the value starts with, as for the
// string length of a configuration file ("3 ports" and "3.0" are 3); only a
// value that does not start with a number ("", "three") is refused.
std::optional<int> toInt16(const QString& text, const QString& key, const QString& where, QStringList& errors)
{
    const std::optional<qint64> value = files::leadingNumber(text);
    if (!value) {
        errors.append(QStringLiteral("%1 value %2 in %3 is not a number").arg(key, quoted(text), where));
        return std::nullopt;
    }
    if (*value < std::numeric_limits<qint16>::min() || *value > std::numeric_limits<qint16>::max()) {
        errors.append(QStringLiteral("%1 value %2 in %3 is outside -32768..32767").arg(key, quoted(text), where));
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

// Text holds no control bytes but tabs, line ends, form feeds and the
// end-of-file mark 0x1A of old editors; a NUL means binary data or UTF-16.
bool isText(const QByteArray& bytes)
{
    return std::none_of(bytes.cbegin(), bytes.cend(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' && byte != '\v'
                && byte != 0x1A;
    });
}

// [PORTS] COM<n>=<device path>. Paths are file-system bytes, so they are decoded
// the way the file system names files rather than as 8-bit text.
void readPorts(const IniFile& ini, const QString& where, Settings& settings, QStringList& errors)
{
    static const QRegularExpression kPortKey(QStringLiteral("^COM([0-9]{1,5})$"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QList<QPair<QString, QString>> entries = ini.section(kPortsSection);
    for (const auto& [key, value] : entries) {
        const QRegularExpressionMatch match = kPortKey.match(key);
        const int number = match.hasMatch() ? match.captured(1).toInt() : 0;
        if (number < 1 || number > std::numeric_limits<qint16>::max()) {
            errors.append(QStringLiteral("[PORTS] entry %1 in %2 is not COM<n>=<device path>; it is ignored")
                                  .arg(quoted(key), where));
            continue;
        }
        if (value.isEmpty()) {
            errors.append(
                    QStringLiteral("[PORTS] entry %1 in %2 names no device; it is ignored").arg(quoted(key), where));
            continue;
        }
        if (!settings.portPaths.contains(number)) {  // the first entry wins, as for any key
            settings.portPaths.insert(number, QFile::decodeName(value.toLatin1()));
        }
    }
}

}  // namespace

namespace settings_file {

QString pathIn(const QString& programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("QZ4Vel.ini"));
}

QString userFolder()
{
    // A fixed folder name, not one derived from the application's display name,
    // so that the file is found whatever name a build gives itself.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath(QStringLiteral("qz4veld"));
}

bool folderWritable(const QString& folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return false;
    }
    // Permission bits say nothing about read-only mounts, and root passes them
    // all; creating a file is the one reliable answer.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".qz4veld-write-check-XXXXXX")));
    return probe.open();
}

Location locate(const QString& programFolder)
{
    const QString programPath = pathIn(programFolder);
    const bool fileWritable = !QFileInfo::exists(programPath) || QFileInfo(programPath).isWritable();
    return locate(programFolder, userFolder(), fileWritable && folderWritable(programFolder));
}

Location locate(const QString& programFolder, const QString& userFolder, bool programWritable)
{
    Location where;
    where.programPath = pathIn(programFolder);
    where.userPath = pathIn(userFolder);
    where.savesToUser = !programWritable;
    where.savePath = where.savesToUser ? where.userPath : where.programPath;
    where.readPath = where.savesToUser && QFileInfo::exists(where.userPath) ? where.userPath : where.programPath;
    return where;
}

void prepareSave(const Location& location)
{
    if (!location.savesToUser || QFileInfo::exists(location.userPath)) {
        return;
    }
    const QString folder = QFileInfo(location.userPath).absolutePath();
    if (!QDir().mkpath(folder)) {
        throw FileError(QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(folder)));
    }
    if (!QFileInfo::exists(location.programPath)) {
        return;
    }
    files::writeAtomically(
            location.userPath,
            files::readRegular(location.programPath, IniFile::kMaxFileSize, QStringLiteral("a settings file")));
}

LoadResult load(const QString& iniPath)
{
    LoadResult result;
    const QString where = QDir::toNativeSeparators(iniPath);
    if (QFileInfo::exists(iniPath)) {
        try {
            // A pipe or a device here would hang start-up; a huge file would fill memory.
            if (!isText(files::readRegular(iniPath, IniFile::kMaxFileSize, QStringLiteral("a settings file")))) {
                // One word rather than silence, or a message for every value it garbles.
                result.errors.append(QStringLiteral("%1 is not a text file; the default settings are used").arg(where));
                return result;
            }
        } catch (const FileError& error) {
            // Quietly running on defaults would make the next SAVE look like it lost settings.
            result.fileError = describe(error);
            result.errors.append(result.fileError + QStringLiteral("; the default settings are used"));
            return result;
        }
    }

    const IniFile ini(iniPath);
    Settings& s = result.settings;
    if (const auto port = toInt16(ini.read(kComSection, QStringLiteral("PORT"), QStringLiteral("1")),
                                  QStringLiteral("PORT"), where, result.errors)) {
        s.comPort = *port;
    } else {
        result.portError = result.errors.constLast();
    }
    s.baud = ini.read(kComSection, QStringLiteral("BAUD"), QStringLiteral("9600"));
    s.parity = ini.read(kComSection, QStringLiteral("PARITY"), QStringLiteral("N"));
    if (const auto enable = toInt16(ini.read(kGeneralSection, QStringLiteral("ENABLESTRINGS"), QStringLiteral("0")),
                                    QStringLiteral("ENABLESTRINGS"), where, result.errors)) {
        s.enableStrings = *enable;
    }
    if (const auto fast = toInt16(ini.read(kGeneralSection, kFastExchangeKey, QStringLiteral("0")), kFastExchangeKey,
                                  where, result.errors)) {
        s.fastExchange = *fast;
    }
    readPorts(ini, where, s, result.errors);
    return result;
}

void save(const QString& iniPath, const Settings& settings)
{
    IniFile ini(iniPath);
    ini.write(kComSection, QStringLiteral("PORT"), QString::number(settings.comPort));
    ini.write(kComSection, QStringLiteral("BAUD"), settings.baud);
    ini.write(kComSection, QStringLiteral("PARITY"), settings.parity);
    ini.write(kGeneralSection, QStringLiteral("ENABLESTRINGS"), QString::number(settings.enableStrings));
    // An optional key: compared by meaning, so a hand-written value that means
    // the same stays as it was written.
    const bool onInFile = ini.read(kGeneralSection, kFastExchangeKey, QString()).toInt() == 1;
    if (onInFile != (settings.fastExchange == 1))
        ini.write(kGeneralSection, kFastExchangeKey, QString::number(settings.fastExchange == 1 ? 1 : 0));
    for (auto port = settings.portPaths.cbegin(); port != settings.portPaths.cend(); ++port) {
        const QString key = QStringLiteral("COM%1").arg(port.key());
        const QString inFile = ini.read(kPortsSection, key, QString());
        if (inFile.isEmpty() || QFile::decodeName(inFile.toLatin1()) != port.value())
            ini.write(kPortsSection, key, QString::fromLatin1(QFile::encodeName(port.value())));
    }
}

}  // namespace settings_file
