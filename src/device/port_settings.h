#pragma once

#include <QString>

// How "9600,N,8,2" maps onto a Linux serial device.
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

}  // namespace port_settings
