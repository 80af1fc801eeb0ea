#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace fakedev {

// qz4veld-sim started for an end-to-end test: the constructor waits for the
// pseudo-terminal path on its first output line; the destructor stops it.
class SimProcess final {
public:
    explicit SimProcess(const QStringList& arguments);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool started() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }
    // Waits for the simulator to end by itself (after an unplug); true when it did.
    bool waitForExit(int ms);
    // SIGTERM, then the exit code (-1 when it had to be killed).
    int stop();

private:
    QProcess m_process;
    QString m_path;
};

}  // namespace fakedev
