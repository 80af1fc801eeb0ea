#pragma once

#include <QByteArray>
#include <QString>

namespace files {

// Replaces the file at `path` with `bytes` so that it is either wholly the old
// file or wholly the new one, even when the process dies midway. Throws
// FileError naming the path and the reason when the new content cannot be
// written in full (unwritable folder, read-only file, disk full, size limit).
void writeAtomically(const QString& path, const QByteArray& bytes);

}  // namespace files
