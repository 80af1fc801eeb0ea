#pragma once

#include "device/port_resolver.h"
#include "station/port_state.h"
#include "station/station_table.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <memory>
#include <vector>

class PortWatch;
class QThread;
class RecordFile;

// What a station runs with.
struct StationSetup final {
    StationTable table;
    QList<ChosenPort> ports;  // watched from the start
    bool allPorts = false;  // also every port that appears later (auto-all)
    PortDefaults defaults;  // how ports found later are set
    bool verify = true;
    int count = 0;  // end once this many devices ended ok; 0: no limit
    QString recordPath;  // "": no record
    QString stationName;  // the record's station column
};

// The production station: one PortWatch per port, each on a thread of its own,
// and the record. Everything it says comes as signals on the thread that made
// it; a device's record line is on the disk before deviceEnded.
class Station final : public QObject {
    Q_OBJECT

public:
    // Opens the record file: FileError when it cannot be.
    explicit Station(StationSetup setup, QObject* parent = nullptr);
    // Stops every port and waits for its thread.
    ~Station() override;

    void start();
    // Every port stops at its next wait: a device mid-Send keeps the rows that
    // went out, and its result says so (interrupted).
    void stop();
    // No new device is started; the station ends once the devices being
    // programmed have ended.
    void close();

    bool running() const { return m_running > 0; }
    bool stopRequested() const { return m_stopRequested; }
    int programmed() const { return m_programmed; }
    int failed() const { return m_failed; }
    const StationSetup& setup() const { return m_setup; }
    QString label(int port) const { return m_labels.value(port); }
    // The path watched, as the record's port column names it.
    QString path(int port) const { return m_paths.value(port); }
    const QString& sha256() const { return m_sha256; }

    // The running total as lines and the window show it: "Programmed 12 · Failed 1".
    static QString totals(int programmed, int failed);

    // How often auto-all looks for ports that appeared.
    static constexpr int kDiscoverMs = 2000;

signals:
    void portAdded(int port, const QString& label);
    void portChanged(int port, const PortState& state);
    void deviceEnded(int port, const DeviceResult& result);
    // The record could not be written: the station stops.
    void recordFailed(const QString& message);
    void finished();

private:
    void addPort(const ChosenPort& port);
    void discover();
    void onEnded(int port, const DeviceResult& result);
    void onThreadFinished();

    StationSetup m_setup;
    QString m_sha256;
    std::unique_ptr<RecordFile> m_record;
    std::vector<std::unique_ptr<PortWatch>> m_watches;
    std::vector<std::unique_ptr<QThread>> m_threads;
    QStringList m_labels;
    QStringList m_paths;
    QStringList m_watched;  // device nodes and paths already watched
    QTimer m_discover;
    std::atomic<bool> m_closing{false};
    std::atomic<int> m_numbers{0};
    bool m_started = false;
    bool m_stopRequested = false;
    int m_running = 0;
    int m_programmed = 0;
    int m_failed = 0;
};
