#pragma once

#include <QByteArray>
#include <QList>
#include <array>
#include <cstdint>
#include <stdexcept>

// Misbehaviour the simulated device can show, for tests and for trying the
// program against a difficult device.
struct DeviceFaults final {
    bool absent = false;  // never answers anything
    std::uint8_t presenceByte = 0xE8;  // what "z" is answered with
    int presenceAnswerFrom = 1;  // probes before the Nth stay unanswered
    int presenceAnswerLimit = -1;  // answer at most this many probes (-1: no limit)
    QByteArray garbageBefore;  // put in front of every answer
    QByteArray garbageAfter;  // put after every answer
    bool chunked = false;  // the transport delivers answers one byte at a time
    int chunkGapMs = 1;  // with chunked: the time from one byte to the next
    int latencyMs = 0;  // the transport delays every answer by this much
    int unplugAfter = -1;  // after this many commands the line goes dead (-1: never)
    int silentRow = -1;  // "/R" of this row is never answered
    int refusedRow = -1;  // "/R" of this row is answered with the error reply
    int longRow = -1;  // "/R" of this row is answered with more bytes than a slot holds
    int strayFillRow = -1;  // "/R" of this row is answered with a stray last byte (after the filling of a short string)
    int reportedLength = 0;  // "/L?" answers this length while the slots keep the real one (0: the real one)
    int restartAfter = -1;  // the command after this many is not carried out: the device restarts and sends 0xE8
    int lengthAckLatencyMs = 0;  // the acknowledge of "/L<digit>" comes this much later than other answers
    int lateReadRow = -1;  // the in-process link answers this row's "/R" late (FakeSerialLink::kLateReadMs)
    int lateBlockRow = -1;  // the in-process link acknowledges this row's "/W" late (FakeSerialLink::kLateBlockMs)
};

// A state file or request the device cannot take.
class DeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The device's side of the protocol: 93 slots of a scan code and up to 10 string
// bytes, the slot width, the version text. Commands arrive as a byte stream that
// may be split anywhere, so they are parsed incrementally.
class DeviceModel final {
public:
    static constexpr int kSlots = 93;
    static constexpr int kMaxLength = 10;
    static constexpr int kDefaultLength = 6;

    struct Slot final {
        std::uint8_t scancode = 0xFF;  // a fresh slot holds no key
        std::array<std::uint8_t, kMaxLength> bytes{};
    };

    DeviceModel();

    DeviceFaults& faults() { return m_faults; }
    const DeviceFaults& faults() const { return m_faults; }

    // Feeds bytes the program sent; returns the answers completed by them, in
    // order, garbage included. Silent commands give no entry. Every command the
    // bytes complete is appended to `commands` when given, and each answer's
    // extra delay in ms (DeviceFaults::lengthAckLatencyMs) to `delays`.
    QList<QByteArray> receive(const QByteArray& bytes, QList<QByteArray>* commands = nullptr,
                              QList<int>* delays = nullptr);

    bool unplugged() const { return m_unplugged; }
    bool midCommand() const { return !m_pending.isEmpty(); }  // part of a command has arrived
    int commandCount() const { return m_commands; }
    int presenceProbes() const { return m_presenceProbes; }
    // True when a command changed the slots or the width since the last call.
    bool takeStateChanged();

    int stringLength() const { return m_length; }
    void setStringLength(int length);  // throws DeviceError outside 1..10
    // Slots usable at the current width: min(93, 255 / (width + 1)).
    int capacity() const;
    static int capacityFor(int length);

    const QByteArray& version() const { return m_version; }
    void setVersion(const QByteArray& version) { m_version = version; }

    const Slot& slot(int row) const;  // throws DeviceError outside 0..92
    void setSlot(int row, std::uint8_t scancode, const QByteArray& bytes);
    // What "/R<row>" answers: scan code and the slot's first <width> bytes.
    QByteArray slotAnswer(int row) const;

    // Slots and width as bytes, for keeping the device's memory between runs.
    QByteArray saveState() const;
    void loadState(const QByteArray& state);  // throws DeviceError when malformed

private:
    // Length of the complete command at the front of m_pending; 0 when more bytes
    // are needed.
    int completeCommandSize() const;
    QByteArray execute(const QByteArray& command);
    QByteArray wrap(const QByteArray& answer) const;

    DeviceFaults m_faults;
    std::array<Slot, kSlots> m_slots{};
    int m_length = kDefaultLength;
    QByteArray m_version;
    QByteArray m_pending;
    int m_commands = 0;
    int m_presenceProbes = 0;
    int m_presenceAnswers = 0;
    bool m_restarted = false;
    bool m_unplugged = false;
    bool m_stateChanged = false;
};
