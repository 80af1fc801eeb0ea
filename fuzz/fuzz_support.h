#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>

// Shared by the fuzz targets: a scratch file per target and process, and a
// broken invariant turned into a crash libFuzzer records with its input.
namespace fuzz {

// tmpfs when there is one: every input is written out, some are renamed over.
inline QString scratchPath(const char* name)
{
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return QStringLiteral("%1/qz-fuzz-%2-%3")
            .arg(base)
            .arg(QCoreApplication::applicationPid())
            .arg(QLatin1String(name));
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write the scratch file %s\n", qPrintable(path));
        std::abort();
    }
}

[[noreturn]] inline void broken(const char* invariant, const QString& detail = {})
{
    std::fprintf(stderr, "invariant broken: %s\n%s\n", invariant, qPrintable(detail));
    std::abort();
}

inline QByteArray bytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace fuzz
