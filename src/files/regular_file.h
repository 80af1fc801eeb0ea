#pragma once

#include <QByteArray>
#include <QString>

namespace files {

// Why `path` cannot be taken as a regular file ("it is a folder", "it is not a
// regular file (a pipe or a device)"), following links; "" when it is one or
// does not exist.
QString notRegularReason(const QString& path);

// The whole content of a regular file of at most maxSize bytes. A folder, a
// pipe or a device node is refused before it is opened (opening a pipe waits
// for a writer, reading a device never ends), and so is a bigger file. Throws
// FileError naming the path; `what` names the kind of file in the size message
// ("a configuration file").
QByteArray readRegular(const QString& path, qint64 maxSize, const QString& what);

}  // namespace files
