#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <stdexcept>

// A failure of the serial layer; what() is the plain description shown after
// the product's message prefix.
class SerialError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The serial port as the program uses it: configured while closed, opened on
// demand by the operations, read by polling. Implementations: QtSerialLink (the
// real port) and the in-process fake device of the tests.
class SerialLink {
public:
    virtual ~SerialLink() = default;

    // Port number (COMn) and settings text "<baud>,<parity>,8,2". Throws SerialError
    // for a value the port cannot take; the link keeps its previous configuration then.
    virtual void configure(int portNumber, const QString& settingsText) = 0;
    // The [PORTS] mapping COM<n> -> device path, used from the next configure() on.
    virtual void setPortPaths(const QMap<int, QString>& portPaths) { (void)portPaths; }
    virtual void open() = 0;  // throws SerialError (names the device path)
    virtual void close() = 0;  // never throws
    virtual bool isOpen() const = 0;
    virtual void write(const QByteArray& bytes) = 0;  // throws SerialError
    virtual int bytesAvailable() = 0;  // throws SerialError after an unplug
    // Everything waiting, possibly nothing; throws SerialError after an unplug or
    // on a closed port, so a lost device is never mistaken for a silent one.
    virtual QByteArray readAll() = 0;
    // The configured bit rate; 0 when not known (the waits stay as specified).
    virtual int baud() const { return 0; }
};
