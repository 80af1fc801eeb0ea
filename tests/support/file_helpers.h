#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <csignal>
#include <stdexcept>
#include <sys/resource.h>

namespace test_files {

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The message of the Error that `action` throws; "no error" when it throws none.
template <typename Error = std::runtime_error, typename Action>
QString errorOf(Action&& action)
{
    try {
        action();
    } catch (const Error& e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("no error");
}

// Lowers this process's file size limit while it lives, so that writes beyond
// `bytes` fail as on a full disk. Folder permissions cannot do that when the
// tests run as root; this works for any user.
class FileSizeLimit final {
    rlimit m_old{};
    bool m_active = false;

public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);  // the write must fail with an error, not end the test
        m_active = getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        const rlimit limit{bytes, m_old.rlim_max};
        m_active = m_active && setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_active)
            setrlimit(RLIMIT_FSIZE, &m_old);
    }
};

}  // namespace test_files
