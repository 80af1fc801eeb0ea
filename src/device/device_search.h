#pragma once

#include "device/port_catalogue.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <vector>

class QThread;
class SerialLink;
class Waiter;

// What the presence check found on one path.
struct ProbeResult final {
    QString path;
    bool answered = false;  // a probe came back with the presence mark
    QString detail;  // otherwise why: "no answer", the check's text, or why the port would not open
};

namespace device_search {

// The paths a search probes: every free port of the table by the path a
// mapping would name, which includes every [PORTS] path that leads to a
// device. Ports another program holds are left alone.
QStringList candidates(const QList<PortRow>& table);

// The presence check (up to 8 probes; "z" is the only byte written) on one
// path, the link configured as COM1 with settingsText and closed afterwards.
// OperationAborted from the waiter passes through.
ProbeResult probe(SerialLink& link, Waiter& waiter, const QString& path, const QString& settingsText);

// Every path at once, each on a thread of its own with its own port and event
// loop, so a search takes one presence check's time however many ports there
// are. Returns when all have ended, results in the order of `paths`; the
// calling thread keeps handling its events meanwhile.
QList<ProbeResult> probeAll(const QStringList& paths, const QString& settingsText);

// The paths whose device answered.
QStringList answering(const QList<ProbeResult>& results);

}  // namespace device_search

// probeAll without waiting, for a window: finished() comes once every probe
// has ended. Destroying it stops the probes at their next 5 ms step.
class DeviceSearch final : public QObject {
    Q_OBJECT

public:
    explicit DeviceSearch(QObject* parent = nullptr);
    ~DeviceSearch() override;

    // Ignored while a search runs.
    void start(const QStringList& paths, const QString& settingsText);
    bool running() const { return m_running > 0; }

signals:
    void finished(const QList<ProbeResult>& results);

private:
    void stopAll();

    struct Shared;
    std::shared_ptr<Shared> m_shared;
    std::vector<QThread*> m_threads;
    int m_running = 0;
};
