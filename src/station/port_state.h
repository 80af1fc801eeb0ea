#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// What a watched port is doing, as its line or row shows it.
struct PortState final {
    enum class Phase {
        Waiting,  // no device, or one that does not answer
        Skipped,  // held by another program, cannot be opened, or not a QZ4VELD
        Programming,
        Ok,
        Failed,
        Removed,  // the device went away during its run
        Stopped,
    };
    Phase phase = Phase::Waiting;
    QString text;  // "Waiting for a device", "Sending 45 %", "OK: remove the device", "FAILED: <message>", ...
    QString version;  // the device's, "" before the version query
    int number = 0;  // the device's number at the station, 0 before the first
};

// How one device's run at a station ended.
struct DeviceResult final {
    // The record's words.
    static constexpr char kOk[] = "ok";
    static constexpr char kFailed[] = "failed";
    static constexpr char kRemoved[] = "removed";
    static constexpr char kInterrupted[] = "interrupted";

    int number = 0;  // 1 for the station's first device
    QString result = QLatin1String(kFailed);
    QString version;
    QString completion;  // the last operation's completion text
    QString message;  // why it did not end ok; for a stop, what the device now holds
    int failedBlocks = 0;
    int failedRows = 0;
    double seconds = 0;
    QString stablePath;
    QString usbSerial;
    QDateTime ended;

    bool ok() const { return result == QLatin1String(kOk); }
};

Q_DECLARE_METATYPE(PortState)
Q_DECLARE_METATYPE(DeviceResult)
