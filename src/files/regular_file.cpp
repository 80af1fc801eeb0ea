#include "files/regular_file.h"

#include "files/file_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace files {

QString notRegularReason(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return {};
    return info.isDir() ? QStringLiteral("it is a folder")
                        : QStringLiteral("it is not a regular file (a pipe or a device)");
}

QByteArray readRegular(const QString& path, qint64 maxSize, const QString& what)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (const QString reason = notRegularReason(path); !reason.isEmpty())
        throw FileError(QStringLiteral("Cannot open \"%1\": %2").arg(shown, reason));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Cannot open \"%1\": %2").arg(shown, file.errorString()));
    if (file.size() > maxSize) {
        throw FileError(QStringLiteral("\"%1\" is too large for %2 (%3 bytes, at most %4)")
                                .arg(shown, what)
                                .arg(file.size())
                                .arg(maxSize));
    }
    // One byte past the limit notices a file that grew since it was measured.
    const QByteArray bytes = file.read(maxSize + 1);
    if (bytes.size() > maxSize)
        throw FileError(
                QStringLiteral("\"%1\" is too large for %2 (more than %3 bytes)").arg(shown, what).arg(maxSize));
    if (file.error() != QFileDevice::NoError)
        throw FileError(QStringLiteral("Cannot read \"%1\": %2").arg(shown, file.errorString()));
    return bytes;
}

}  // namespace files
