#include "files/atomic_write.h"

#include "files/file_error.h"

#include <QDir>
#include <QSaveFile>

namespace files {

namespace {

FileError writeFailure(const QString& path, const QString& reason)
{
    return FileError(QStringLiteral("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(path), reason));
}

}  // namespace

void checkWritableAtomically(const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw writeFailure(path, file.errorString());
    file.cancelWriting();
}

void writeAtomically(const QString& path, const QByteArray& bytes)
{
    const auto failure = [&path](const QString& reason) { return writeFailure(path, reason); };
    QSaveFile file(path);
    // Unbuffered, because a buffered QSaveFile hides a short write (full disk,
    // file size limit) and then commits the truncated file as if all was well.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        throw failure(file.errorString());
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        // A short write is retried so that the next call reports the system's reason.
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            throw failure(reason);
        }
        done += written;
    }
    if (!file.flush() || file.size() != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw failure(reason);
    }
    if (!file.commit()) {
        throw failure(file.errorString());
    }
}

}  // namespace files
