#include "files/log_file.h"

#include "files/file_error.h"

#include <QDir>
#include <QFile>

namespace log_file {

QByteArray encodeLine(const QString& line)
{
    QByteArray bytes;
    bytes.reserve(line.size() + 2);
    for (const QChar c : line) {
        bytes.append(c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : '?');
    }
    bytes.append("\r\n");
    return bytes;
}

void append(const QString& path, const QStringList& lines)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (path.isEmpty()) {
        throw FileError(QStringLiteral("No log file has been chosen"));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        throw FileError(QStringLiteral("Cannot open log file \"%1\": %2").arg(shown, file.errorString()));
    }
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes.append(encodeLine(line));
    }
    // flush() makes a full disk show up here rather than be lost in close().
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        throw FileError(QStringLiteral("Cannot write log file \"%1\": %2").arg(shown, file.errorString()));
    }
    file.close();
}

void append(const QString& path, const QString& line)
{
    append(path, QStringList{line});
}

}  // namespace log_file
