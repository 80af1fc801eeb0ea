#pragma once

#include "device/serial_link.h"
#include "sim/lib/device_model.h"
#include "sim/lib/virtual_clock.h"

#include <QList>
#include <QPair>
#include <QString>

// An in-process serial port wired to a DeviceModel on a virtual clock. An answer
// becomes readable once the clock has passed the device's latency (byte by byte
// when the device answers in chunks). Every byte written is recorded, per write, with the time.
class FakeSerialLink final : public SerialLink {
public:
    // How late DeviceFaults::lateBlockRow's acknowledge comes: after its block's
    // window and the window's extension, within the next block's window.
    static constexpr int kLateBlockMs = 120;
    // How late DeviceFaults::lateReadRow's answer comes: after the read's wait and its
    // extension, once the next block has gone out.
    static constexpr int kLateReadMs = 300;

    FakeSerialLink(DeviceModel& device, VirtualClock& clock);

    void configure(int portNumber, const QString& settingsText) override;
    void open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    void write(const QByteArray& bytes) override;
    int bytesAvailable() override;
    QByteArray readAll() override;
    int baud() const override;

    // Makes every later open() fail with this description ("" to stop).
    void setOpenError(const QString& description) { m_openError = description; }

    const QByteArray& written() const { return m_written; }
    const QList<QByteArray>& writes() const { return m_writes; }
    const QList<qint64>& writeTimes() const { return m_writeTimes; }  // the clock at each write
    void clearRecord();
    int openCount() const { return m_opens; }
    int closeCount() const { return m_closes; }
    int portNumber() const { return m_port; }
    const QString& settingsText() const { return m_settings; }
    QString devicePath() const;

private:
    void throwIfUnusable();
    void deliverDue();

    DeviceModel& m_device;
    VirtualClock& m_clock;
    int m_port = 1;
    QString m_settings = QStringLiteral("9600,N,8,2");
    QString m_openError;
    bool m_open = false;
    QByteArray m_received;  // readable now
    QList<QPair<qint64, QByteArray>> m_pending;  // (due time, bytes), in order
    QByteArray m_written;
    QList<QByteArray> m_writes;
    QList<qint64> m_writeTimes;
    int m_opens = 0;
    int m_closes = 0;
};
