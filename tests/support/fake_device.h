#pragma once

#include "device/status_sink.h"
#include "model/messages.h"
#include "model/row_table.h"
#include "operations/operation_context.h"
#include "sim/lib/device_model.h"
#include "sim/lib/fake_serial_link.h"
#include "sim/lib/virtual_clock.h"
#include "sim/lib/virtual_waiter.h"

#include <QMap>
#include <QStringList>

#include <functional>
#include <stdexcept>
#include <utility>

// Recording stand-ins for the window, and a rig that wires a simulated device
// to an OperationContext on a virtual clock.
namespace fakedev {

class RecordingStatus final : public StatusSink {
public:
    int add(const QString& line) override
    {
        lines.append(line);
        if (onAdd)
            onAdd();
        return static_cast<int>(lines.size() - 1);
    }
    void setLine(int index, const QString& line) override
    {
        if (index < 0 || index >= lines.size())
            throw std::out_of_range("status line index out of range");
        lines[index] = line;
    }
    QString line(int index) const override { return lines.value(index); }
    void clear() override { lines.clear(); }
    void showCompletion(const QString& text) override
    {
        completion = text;
        completionShown = true;
    }
    void hideCompletion(const QString& text) override
    {
        completion = text;
        completionShown = false;
    }
    void showProgress() override { progressShown = true; }
    void hideProgress() override { progressShown = false; }
    void setProgressMaximum(int maximum) override { progressMax = maximum; }
    int progressMaximum() const override { return progressMax; }
    void setProgressValue(int value) override { progressValue_ = value; }
    int progressValue() const override { return progressValue_; }
    void setPercentText(const QString& text) override { percentText = text; }

    QStringList lines;
    std::function<void()> onAdd;  // runs for every line, after it is in: a window's work for it
    QString completion;
    bool completionShown = false;
    bool progressShown = false;
    int progressMax = 0;
    int progressValue_ = 0;
    QString percentText;
};

class RecordingMessages final : public Messages {
public:
    void info(const QString& text) override { infos.append(text); }
    bool confirm(const QString& text, const QString& title) override
    {
        confirms.append(title + ": " + text);
        if (onConfirm)
            onConfirm();
        return confirmAnswer;
    }
    void beep() override { ++beeps; }

    QStringList infos;
    QStringList confirms;  // "title: text"
    bool confirmAnswer = true;
    std::function<void()> onConfirm;  // runs while the question is asked
    int beeps = 0;
};

class RecordingView final : public OperationView {
public:
    int stringLengthIndex() const override { return lengthIndex; }
    void selectStringLengthIndex(int index) override { lengthIndex = index; }
    int currentPage() const override { return page; }
    void showPage() override { }
    void refreshPageRows() override { }
    void showRowOnLine(int row) override { shownRows.append(row); }
    void showRowPicture(int row) override { pictureRows.append(row); }
    void disableControls() override
    {
        controlsEnabled = false;
        controlEvents.append("disable");
    }
    void enableControls() override
    {
        controlsEnabled = true;
        controlEvents.append("enable");
    }

    int lengthIndex = 5;
    int page = 0;
    QList<int> shownRows;
    QList<int> pictureRows;
    bool controlsEnabled = true;
    QStringList controlEvents;  // "disable" / "enable", in order
};

// The simulated device's port with some answers replaced: when the answer to a command whose bytes are in
// `answers` comes in, that answer (an empty one: silence) is read instead.
class ScriptedLink final : public SerialLink {
public:
    explicit ScriptedLink(FakeSerialLink& inner) : m_inner(inner) { }
    void configure(int port, const QString& settings) override { m_inner.configure(port, settings); }
    void open() override { m_inner.open(); }
    void close() override
    {
        m_inner.close();
        m_command.clear();
        m_received.clear();
    }
    bool isOpen() const override { return m_inner.isOpen(); }
    void write(const QByteArray& bytes) override
    {
        m_inner.write(bytes);
        m_command += bytes;
    }
    int bytesAvailable() override { return static_cast<int>(received().size()); }
    QByteArray readAll() override { return std::exchange(received(), {}); }
    int baud() const override { return m_inner.baud(); }

    QMap<QByteArray, QByteArray> answers;

private:
    QByteArray& received()
    {
        if (const QByteArray bytes = m_inner.readAll(); !bytes.isEmpty())
            m_received += answers.value(std::exchange(m_command, {}), bytes);
        return m_received;
    }

    FakeSerialLink& m_inner;
    QByteArray m_command;  // written since the last answer came in
    QByteArray m_received;
};

// A complete operation environment around one simulated device; the operations talk through `scripted`.
struct Rig final {
    DeviceModel device;
    VirtualClock clock;
    FakeSerialLink link{device, clock};
    ScriptedLink scripted{link};
    VirtualWaiter waiter{clock};
    RecordingStatus status;
    RecordingMessages messages;
    RowTable rows;
    RecordingView view;
    OperationContext context{scripted, waiter, messages, status, rows, view, 1};
};

}  // namespace fakedev
