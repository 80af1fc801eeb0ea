#include "files/log_file.h"

#include "files/file_error.h"
#include "files/regular_file.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace log_file {

namespace {

// Opens `file` for appending when `path` is a regular file or absent. The kind
// is looked at before the open, so a device is never opened at all, and again
// on what was opened: a pipe put there meanwhile fails the non-blocking open
// or that second look instead of blocking.
void openForAppend(QFile& file, const QString& path, const QString& shown)
{
    const auto refused = [&shown](const QString& reason) {
        return FileError(QStringLiteral("Cannot open log file \"%1\": %2").arg(shown, reason));
    };
    if (const QString reason = files::notRegularReason(path); !reason.isEmpty())
        throw refused(reason);
    const int fd =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        throw refused(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat opened { };
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        throw refused(QStringLiteral("it is not a regular file (a pipe or a device)"));
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw refused(file.errorString());
    }
}

}  // namespace

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
    QFile file;
    openForAppend(file, path, shown);
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
