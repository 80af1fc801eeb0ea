#pragma once

#include "support/fake_device.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>
#include <functional>
#include <optional>

namespace opstest {

// The simulated device's port with some answers replaced: a command whose bytes
// are in `answers` gets that answer (an empty one: silence) instead of the
// device's own. Every answer is readable at once, the device having no latency.
class ScriptedLink final : public SerialLink {
public:
    explicit ScriptedLink(FakeSerialLink& inner) : m_inner(inner) {}

    void configure(int portNumber, const QString& settingsText) override { m_inner.configure(portNumber, settingsText); }
    void open() override { m_inner.open(); }
    void close() override;
    bool isOpen() const override { return m_inner.isOpen(); }
    void write(const QByteArray& bytes) override;
    int bytesAvailable() override;
    QByteArray readAll() override;

    QMap<QByteArray, QByteArray> answers;

private:
    FakeSerialLink& m_inner;
    QByteArray m_command;   // written since the last answered command
    QByteArray m_received;
};

// An operation environment around one simulated device with scriptable answers.
struct OpsRig final {
    OpsRig();

    // Puts a slot into the device and the same row on screen.
    void setRow(int row, std::uint8_t scancode, const QByteArray& deviceBytes, const QString& key, const QString& string);

    fakedev::Rig base;
    ScriptedLink link{base.link};
    OperationContext context{link, base.waiter, base.messages, base.status, base.rows, base.view, 1};
    fakedev::RecordingStatus& status = base.status;
    fakedev::RecordingMessages& messages = base.messages;
    fakedev::RecordingView& view = base.view;
    RowTable& rows = base.rows;
    DeviceModel& device = base.device;
};

// The two lines of a device that answered the first presence probe.
QStringList presentLines();

// "/R" + row: the read-slot command, with the raw row byte.
QByteArray readCommand(int row);

// Every byte as "{hh}", upper case, two digits.
QString braced(const QByteArray& bytes);

}  // namespace opstest
