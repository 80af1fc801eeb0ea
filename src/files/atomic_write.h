#pragma once

#include <QByteArray>
#include <QString>

namespace files {

// Replaces the file at `path` with `bytes` so that it is either wholly the old
// file or wholly the new one, even when the process dies midway. Throws
// FileError naming the path and the reason when the new content cannot be
// written in full (unwritable folder, read-only file, disk full, size limit).
void writeAtomically(const QString& path, const QByteArray& bytes);

// Throws the FileError writeAtomically() would throw when it could not even
// begin: the temporary file it writes first is made beside `path` and removed
// again, so a folder that takes no new file (a read-only mount, /proc) is found
// before work whose result would be lost. The file at `path` is not touched.
void checkWritableAtomically(const QString& path);

}  // namespace files
