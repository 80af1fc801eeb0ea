#pragma once

#include <QMap>
#include <QString>

// How COM<n> and "9600,N,8,2" map onto a Linux serial device.
struct PortSettings final {
    qint32 baud = 9600;
    char parity = 'N';  // 'N', 'E' or 'O'
    int dataBits = 8;
    int stopBits = 2;
};

namespace port_settings {

// Parses "<baud>,<parity>,<data>,<stop>"; throws SerialError with a plain
// description for anything the port cannot take.
PortSettings parse(const QString& settingsText);

// "<baud>,<parity>,8,2"
QString settingsText(const QString& baud, const QString& parity);

// COM<n> -> device path: the [PORTS] mapping when it names one, else /dev/ttyS<n-1>.
QString devicePath(int portNumber, const QMap<int, QString>& mapping);

}  // namespace port_settings
