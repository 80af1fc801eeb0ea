#include "device/qt_serial_link.h"

#include "device/open_failure.h"

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace {

// A USB adapter hands received bytes over when its latency timer runs out (16 ms
// on an FTDI chip by default), longer than a poll of the protocol. The driver's
// low-latency flag sets that timer to 1 ms. Ports that do not know the request
// (a pseudo-terminal, an on-board UART) or refuse it are left as they are.
void askForLowLatency(qintptr handle)
{
#ifdef Q_OS_LINUX
    serial_struct serial{};
    if (::ioctl(static_cast<int>(handle), TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY) != 0)
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    (void)::ioctl(static_cast<int>(handle), TIOCSSERIAL, &serial);
#else
    (void)handle;
#endif
}

}  // namespace
#include "device/port_resolver.h"

#include <cerrno>

#include <sys/file.h>

QtSerialLink::QtSerialLink(QMap<int, QString> portPaths) : m_portPaths(std::move(portPaths))
{
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialLink::~QtSerialLink()
{
    close();
}

void QtSerialLink::configure(int portNumber, const QString& settingsText)
{
    close();
    // Validate everything first so a refused value leaves the old configuration.
    const PortSettings settings = port_settings::parse(settingsText);
    const QString path = PortResolver::comPath(portNumber, m_portPaths);

    m_settings = settings;
    m_path = path;
    m_mappedAs =
            m_portPaths.value(portNumber).trimmed().isEmpty() ? QString() : QStringLiteral("COM%1").arg(portNumber);
    m_port.setPortName(path);
    m_port.setBaudRate(settings.baud);
    switch (settings.parity) {
    case 'E':
        m_port.setParity(QSerialPort::EvenParity);
        break;
    case 'O':
        m_port.setParity(QSerialPort::OddParity);
        break;
    default:
        m_port.setParity(QSerialPort::NoParity);
        break;
    }
    m_port.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
    m_port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
}

void QtSerialLink::setDevicePath(const QString& path)
{
    close();
    m_path = path;
    m_mappedAs.clear();
    m_port.setPortName(path);
}

void QtSerialLink::open()
{
    if (isOpen())
        return;
    if (m_path.isEmpty())
        throw SerialError("No serial port has been configured");
    if (m_disconnected) {
        // The operation that lost the line learns why, once; a later open tries afresh.
        m_disconnected = false;
        throw SerialError(QStringLiteral("device %1 was disconnected").arg(m_path).toStdString());
    }
    const auto refused = [this](QSerialPort::SerialPortError error, const QString& text) {
        m_port.clearError();
        serial_errors::NodeFacts facts = serial_errors::inspect(m_path);
        facts.mappedAs = m_mappedAs;
        return SerialError(serial_errors::describeOpenFailure(m_path, error, text, facts).toStdString());
    };
    if (!m_port.open(QIODevice::ReadWrite))
        throw refused(m_port.error(), m_port.errorString());
    // Lock files go by the name a port is opened under, so a program of ours
    // using a link or a /dev/serial/by-id path to the same device would get in
    // beside this one and take its answers. A lock on the device itself keeps
    // out every other opener that asks for it, whatever name it uses.
    if (::flock(static_cast<int>(m_port.handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        m_port.close();
        throw refused(QSerialPort::PermissionError, QString());
    }
    askForLowLatency(m_port.handle());
}

void QtSerialLink::close()
{
    m_disconnected = false;
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool QtSerialLink::isOpen() const
{
    return m_port.isOpen() && !m_disconnected;
}

void QtSerialLink::throwIfUnusable()
{
    if (m_disconnected) {
        // Said once; after that the port is simply closed and may be opened afresh.
        m_disconnected = false;
        throw SerialError(QStringLiteral("device %1 was disconnected").arg(m_path).toStdString());
    }
    if (!m_port.isOpen())
        throw SerialError(QStringLiteral("port %1 is not open")
                                  .arg(m_path.isEmpty() ? QStringLiteral("(none)") : m_path)
                                  .toStdString());
}

void QtSerialLink::write(const QByteArray& bytes)
{
    throwIfUnusable();
    if (m_port.write(bytes) != bytes.size())
        throw SerialError(QStringLiteral("writing to %1 failed: %2").arg(m_path, m_port.errorString()).toStdString());
    // Hand the bytes to the driver now instead of at the next event-loop pass, so
    // the fixed waits count from the moment the command really goes out.
    m_port.flush();
    throwIfUnusable();
}

void QtSerialLink::takeArrived()
{
    // QSerialPort moves bytes from the driver into its buffer when the event
    // loop sees them; a wait that ends in a sleep has not looked for a moment,
    // so whatever has arrived by now is taken here, without blocking.
    if (!m_port.waitForReadyRead(0) && m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();  // nothing new is not a failure
    throwIfUnusable();
}

int QtSerialLink::bytesAvailable()
{
    throwIfUnusable();
    takeArrived();
    const qint64 count = m_port.bytesAvailable();
    return count > 0x7fffffff ? 0x7fffffff : static_cast<int>(count);
}

QByteArray QtSerialLink::readAll()
{
    throwIfUnusable();
    takeArrived();
    return m_port.readAll();
}

void QtSerialLink::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return;
    ++m_errorReports;
    // An unplugged adapter shows as ResourceError, a hung-up line as a read that
    // returns nothing (ReadError); either would come again on every notifier
    // pass, so the first one closes the port on the spot.
    const bool lineLost =
            error == QSerialPort::ResourceError || error == QSerialPort::ReadError || error == QSerialPort::WriteError;
    if (!lineLost || m_disconnected || !m_port.isOpen())
        return;
    m_disconnected = true;
    m_port.close();
}
