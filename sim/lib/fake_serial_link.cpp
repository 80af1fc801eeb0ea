#include "sim/lib/fake_serial_link.h"

#include "device/port_resolver.h"
#include "device/port_settings.h"

FakeSerialLink::FakeSerialLink(DeviceModel& device, VirtualClock& clock) : m_device(device), m_clock(clock)
{ }

QString FakeSerialLink::devicePath() const
{
    return QStringLiteral("/dev/fake%1").arg(m_port);
}

void FakeSerialLink::configure(int portNumber, const QString& settingsText)
{
    close();
    port_settings::parse(settingsText);
    PortResolver::comPath(portNumber, {});
    m_port = portNumber;
    m_settings = settingsText;
}

int FakeSerialLink::baud() const
{
    return port_settings::parse(m_settings).baud;
}

void FakeSerialLink::open()
{
    if (m_open)
        return;
    if (!m_openError.isEmpty())
        throw SerialError(m_openError.toStdString());
    if (m_device.unplugged())
        throw SerialError(QStringLiteral("Cannot open %1: no such serial device").arg(devicePath()).toStdString());
    m_open = true;
    ++m_opens;
}

void FakeSerialLink::close()
{
    if (m_open)
        ++m_closes;
    m_open = false;
    // A closed port keeps nothing: what was received or still on its way is lost.
    m_received.clear();
    m_pending.clear();
}

void FakeSerialLink::throwIfUnusable()
{
    if (m_open && m_device.unplugged()) {
        // Like the real port: closed on the first sign of the unplug, said once.
        m_open = false;
        m_received.clear();
        m_pending.clear();
        throw SerialError(QStringLiteral("device %1 was disconnected").arg(devicePath()).toStdString());
    }
    if (!m_open)
        throw SerialError(QStringLiteral("port %1 is not open").arg(devicePath()).toStdString());
}

void FakeSerialLink::write(const QByteArray& bytes)
{
    throwIfUnusable();
    m_written.append(bytes);
    m_writes.append(bytes);
    m_writeTimes.append(m_clock.nowMs);
    QList<QByteArray> commands;
    QList<int> delays;
    const QList<QByteArray> answers = m_device.receive(bytes, &commands, &delays);
    const DeviceFaults& faults = m_device.faults();
    qint64 due = m_clock.nowMs + (faults.latencyMs > 0 ? faults.latencyMs : 0);
    for (const QByteArray& command : commands) {
        const int row = command.size() > 2 ? static_cast<unsigned char>(command.at(2)) : -1;
        if (command.startsWith("/W") && row == faults.lateBlockRow)
            due += kLateBlockMs;
        if (command.startsWith("/R") && row == faults.lateReadRow)
            due += kLateReadMs;
    }
    if (!m_pending.isEmpty() && m_pending.constLast().first > due)
        due = m_pending.constLast().first;  // answers never overtake each other
    for (qsizetype a = 0; a < answers.size(); ++a) {
        const QByteArray& answer = answers.at(a);
        due += delays.value(a);
        if (faults.chunked) {
            for (const char byte : answer) {
                m_pending.append({due, QByteArray(1, byte)});
                due += faults.chunkGapMs;
            }
        } else {
            m_pending.append({due, answer});
        }
    }
}

void FakeSerialLink::deliverDue()
{
    while (!m_pending.isEmpty() && m_pending.constFirst().first <= m_clock.nowMs)
        m_received.append(m_pending.takeFirst().second);
}

int FakeSerialLink::bytesAvailable()
{
    throwIfUnusable();
    deliverDue();
    return static_cast<int>(m_received.size());
}

QByteArray FakeSerialLink::readAll()
{
    throwIfUnusable();
    deliverDue();
    QByteArray bytes;
    bytes.swap(m_received);
    return bytes;
}

void FakeSerialLink::clearRecord()
{
    m_written.clear();
    m_writes.clear();
    m_writeTimes.clear();
    m_opens = 0;
    m_closes = 0;
}
