#pragma once

#include "device/open_failure.h"
#include "device/port_settings.h"
#include "device/serial_link.h"

#include <QMap>
#include <QSerialPort>
#include <QString>

// The real serial port. Received bytes reach the port's buffer while the event
// loop runs (the waiter's nested loop), so reads after a Waiter::delay see them.
class QtSerialLink final : public SerialLink {
public:
    // portPaths: the [PORTS] mapping COM<n> -> device path.
    explicit QtSerialLink(QMap<int, QString> portPaths = {});
    ~QtSerialLink() override;

    QtSerialLink(const QtSerialLink&) = delete;
    QtSerialLink& operator=(const QtSerialLink&) = delete;

    void setPortPaths(const QMap<int, QString>& portPaths) override { m_portPaths = portPaths; }

    // Opens this path instead of what the configured port number maps to (a
    // device named on the command line); call after configure().
    void setDevicePath(const QString& path);

    void configure(int portNumber, const QString& settingsText) override;
    void open() override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray& bytes) override;
    int bytesAvailable() override;
    QByteArray readAll() override;
    int baud() const override { return m_settings.baud; }

    // The device path the configured port number maps to ("" before configure()).
    const QString& devicePath() const { return m_path; }
    const PortSettings& settings() const { return m_settings; }
    // Port errors reported since construction: after a lost line this must stay
    // at one, not grow with every notifier pass.
    int errorReports() const { return m_errorReports; }

private:
    void throwIfUnusable();
    void takeArrived();  // throws like throwIfUnusable
    void onError(QSerialPort::SerialPortError error);

    QMap<int, QString> m_portPaths;
    QSerialPort m_port;
    QString m_path;
    QString m_mappedAs;  // "COM<n>" when m_path is that port's [PORTS] entry
    PortSettings m_settings;
    bool m_disconnected = false;
    int m_errorReports = 0;
};
