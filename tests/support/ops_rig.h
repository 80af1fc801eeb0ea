#pragma once

#include "support/fake_device.h"

#include <QMap>
#include <QMetaType>

#include <functional>

namespace opstest {

// The simulated device's port with some answers replaced: a command whose bytes
// are in `answers` gets that answer (an empty one: silence) instead of the
// device's own, readable at once.
class ScriptedLink final : public SerialLink {
public:
    explicit ScriptedLink(FakeSerialLink& inner) : m_inner(inner) { }
    void configure(int port, const QString& settings) override { m_inner.configure(port, settings); }
    void open() override { m_inner.open(); }
    void close() override;
    bool isOpen() const override { return m_inner.isOpen(); }
    void write(const QByteArray& bytes) override;
    int bytesAvailable() override;
    QByteArray readAll() override;

    QMap<QByteArray, QByteArray> answers;

private:
    void throwPendingError()
    {
        if (!m_error.empty())
            throw SerialError(std::exchange(m_error, {}));
    }

    FakeSerialLink& m_inner;
    std::string m_error;  // an unplug seen at a write, thrown at the next read as on the real port
    QByteArray m_command;  // written since the last answered command
    QByteArray m_received;
};

struct OpsRig final {
    fakedev::Rig base;
    ScriptedLink link{base.link};
    OperationContext context{link, base.waiter, base.messages, base.status, base.rows, base.view, 1};
    fakedev::RecordingStatus& status = base.status;
    fakedev::RecordingView& view = base.view;
    RowTable& rows = base.rows;
    DeviceModel& device = base.device;
    QStringList& infos = base.messages.infos;
};
using Setup = std::function<void(OpsRig&)>;  // a data column: how one case differs

// The two lines of a device that answered the first presence probe.
QStringList presentLines();
// "/R" + the raw row byte.
QByteArray readCommand(int row);
// Every byte as "{hh}", two upper-case digits.
QString braced(const QByteArray& bytes);
// Rows "length 1" and "length 10" of an int column "length": the narrowest and the widest slots.
void addLengthRows();
// How a run left the screen, a fact an item: the completion label, the progress bar, the port (left open by a
// failure that did not lose the line), the controls.
QStringList ending(const OpsRig& rig);
// The ending of a run that went through and showed `completion`.
QStringList endedWith(const QString& completion);
// Runs an operation that is asked to stop at the first wait after `when`
// holds; it must end with OperationAborted, the port closed and nothing sent
// after the stop.
void checkAbortsCleanly(OpsRig& rig, const std::function<void()>& run, const std::function<bool()>& when);
// The lines, bytes and waits of a run that asked the string length and then read
// every row the device holds, each answer braced from byte `from` on (0: Read's form,
// 1: Verify's form); the screen then shows the device's length.
void checkSlotWalk(OpsRig& rig, const QString& requested, int from);

}  // namespace opstest

Q_DECLARE_METATYPE(opstest::Setup)
