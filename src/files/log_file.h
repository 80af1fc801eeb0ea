#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The status-list log: lines appended to a text file chosen by the operator.
// The file is opened and closed for every call, so each line is on disk before
// the operation goes on and another program may read the file meanwhile.
namespace log_file {

// Appends each line followed by CR LF, as 8-bit text: every character up to
// U+00FF is written as that one byte (so raw device bytes carried as Latin-1
// characters survive), any other character as "?". Creates the file when it is
// missing; an empty list only does that. Only a regular file is opened: a pipe
// would wait for a reader for ever and a device is no log. Throws FileError (a
// std::runtime_error) naming the path when the file is not a regular file or
// cannot be opened or written; lines already appended stay in the file.
void append(const QString& path, const QStringList& lines);
void append(const QString& path, const QString& line);

// The bytes append() writes for one line, CR LF included.
QByteArray encodeLine(const QString& line);

}  // namespace log_file
