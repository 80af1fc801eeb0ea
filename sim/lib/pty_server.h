#pragma once

#include "sim/lib/device_model.h"

#include <QFile>
#include <QString>
#include <functional>

// Serves a DeviceModel on a pseudo-terminal: the program under test opens the
// slave path as its serial port. The simulator keeps a slave descriptor of its
// own so that the program closing and reopening the port never hangs up the line.
class PtyServer final {
public:
    enum class End { Stopped, Unplugged };

    explicit PtyServer(DeviceModel& device);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Paces the line like a serial port at this bit rate (0, the default: bytes
    // pass at once), so that timings against the simulator include wire time.
    void setBaud(int baud) { m_baud = baud; }
    // Hands answer bytes over only every `ms` milliseconds, as a USB adapter does
    // when its latency timer runs out (16 ms on an FTDI chip); 0: as they come.
    void setBurstMs(int ms) { m_burstMs = ms; }

    // Writes a line "<microseconds> <hex bytes>" for every command, stamped when
    // its first byte arrived, on the monotonic clock that every process on the machine
    // shares, so that the gaps between commands can be checked from outside.
    // Throws DeviceError when the file cannot be written.
    void setArrivalLog(const QString& path);

    // From open() on, `path` is a symbolic link to the terminal, removed before
    // the terminal closes: the port appears and goes away with the device, as
    // a USB adapter's does. An existing link there is replaced.
    void setLink(const QString& path) { m_link = path; }

    // Creates the pseudo-terminal in raw mode; returns the slave path. Throws
    // DeviceError with the failing call's description.
    QString open();

    // Answers commands until stopFd becomes readable (End::Stopped) or the
    // device's unplug fault fires (End::Unplugged: both sides are closed, so the
    // program sees its port die). onStateChanged runs after each command that
    // changed the slots or the width.
    End serve(int stopFd, const std::function<void()>& onStateChanged);

private:
    void closeAll();
    // When bytes due at dueUs reach the program: at once, or at the next burst.
    qint64 handOver(qint64 dueUs) const;

    DeviceModel& m_device;
    int m_master = -1;
    int m_slave = -1;
    int m_baud = 0;
    int m_burstMs = 0;
    qint64 m_startUs = 0;
    QString m_link;
    bool m_linked = false;
    QFile m_arrivals;
};
