#pragma once

#include "device/port_resolver.h"
#include "device/stop_switch.h"
#include "station/port_state.h"
#include "station/station_table.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QtSerialLink;
class Waiter;

// One port of a station, on a thread of its own: a presence probe about once
// a second (the probe byte and nothing else, never on a port another program
// holds); when a QZ4VELD answers, the version query, Send and Verify, the same
// code as the window's buttons; then the wait until the device is gone (two
// probes in a row unanswered, not even late, or the port gone), so a device
// that stays connected is programmed once. A port that is not there yet, or where nothing
// answers, is waiting for a device.
class PortWatch final {
public:
    // What the watch asks of its station and tells it, from the watch's thread.
    struct Station final {
        std::function<int()> claim;  // a number for the device found; 0: start none
        std::function<bool()> closing;  // end once no device is being programmed
        std::function<void(const PortState&)> changed;
        std::function<void(const DeviceResult&)> ended;
    };

    PortWatch(ChosenPort port, StationTable table, bool verify, Station station);

    // The thread's whole work; returns once the station closes or stops it.
    void run();
    // From any thread: stop at the next wait, a device mid-run too.
    void requestStop() { m_stop.request(); }

    static constexpr int kTickMs = 1000;
    static constexpr int kMissesForRemoval = 2;

private:
    enum class Probe { Answered, Silent, Foreign, Lost };

    // Until a QZ4VELD answers on the open port; false when the station closes.
    bool awaitDevice(QtSerialLink& link, Waiter& waiter);
    void program(QtSerialLink& link, Waiter& waiter, int number);
    void awaitRemoval(QtSerialLink& link, Waiter& waiter);

    // Opens the port unless another program holds it; the state says why not.
    bool openFree(QtSerialLink& link, const QString& target);
    Probe probe(QtSerialLink& link, Waiter& waiter);
    void identify(DeviceResult& result) const;
    void show(PortState::Phase phase, const QString& text);

    const ChosenPort m_port;
    const QString m_path;
    const StationTable m_table;
    const bool m_verify;
    const Station m_station;
    StopSwitch m_stop;

    QString m_openTarget;  // the device node the open link leads to
    QByteArray m_lastAnswer;
    bool m_answeredLate = false;  // the bytes before the last probe ended with the presence mark
    PortState m_state;
};
