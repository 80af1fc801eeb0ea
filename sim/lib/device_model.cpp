#include "sim/lib/device_model.h"

#include <QString>

namespace {

constexpr char kAck = 0x06;
constexpr char kStartUpMark = '\xE8';  // what the device sends when it starts, the presence mark
const QByteArray kCommandError = QByteArrayLiteral("CMDERR");
const QByteArray kStateMagic = QByteArrayLiteral("QZ4S\x01");
constexpr int kSlotRecord = 1 + DeviceModel::kMaxLength;

std::uint8_t at(const QByteArray& bytes, int index)
{
    return index >= 0 && index < bytes.size() ? static_cast<std::uint8_t>(bytes.at(index)) : 0;
}

}  // namespace

DeviceModel::DeviceModel() : m_version(QByteArrayLiteral("QZ4VELD V2.10"))
{ }

int DeviceModel::capacityFor(int length)
{
    if (length < 1 || length > kMaxLength)
        return 0;
    const int fit = 255 / (length + 1);
    return fit < kSlots ? fit : kSlots;
}

int DeviceModel::capacity() const
{
    return capacityFor(m_length);
}

void DeviceModel::setStringLength(int length)
{
    if (length < 1 || length > kMaxLength)
        throw DeviceError(QStringLiteral("String length %1 is outside 1 to 10").arg(length).toStdString());
    m_length = length;
}

const DeviceModel::Slot& DeviceModel::slot(int row) const
{
    if (row < 0 || row >= kSlots)
        throw DeviceError(QStringLiteral("Slot %1 is outside 0 to 92").arg(row).toStdString());
    return m_slots[static_cast<std::size_t>(row)];
}

void DeviceModel::setSlot(int row, std::uint8_t scancode, const QByteArray& bytes)
{
    slot(row);  // range check
    Slot& target = m_slots[static_cast<std::size_t>(row)];
    target.scancode = scancode;
    target.bytes.fill(0);
    for (int i = 0; i < kMaxLength && i < bytes.size(); ++i)
        target.bytes[static_cast<std::size_t>(i)] = at(bytes, i);
}

QByteArray DeviceModel::slotAnswer(int row) const
{
    const Slot& s = slot(row);
    QByteArray answer(1, static_cast<char>(s.scancode));
    for (int i = 0; i < m_length; ++i)
        answer.append(static_cast<char>(s.bytes[static_cast<std::size_t>(i)]));
    return answer;
}

bool DeviceModel::takeStateChanged()
{
    const bool changed = m_stateChanged;
    m_stateChanged = false;
    return changed;
}

QList<QByteArray> DeviceModel::receive(const QByteArray& bytes, QList<QByteArray>* commands, QList<int>* delays)
{
    QList<QByteArray> answers;
    if (m_faults.absent)
        return answers;  // nothing on the line hears the bytes
    for (const char byte : bytes) {
        if (m_unplugged)
            break;
        if (m_faults.unplugAfter >= 0 && m_commands >= m_faults.unplugAfter) {
            // The first byte of the command after the last answered one finds the line dead.
            m_unplugged = true;
            m_pending.clear();
            break;
        }
        m_pending.append(byte);
        const int size = completeCommandSize();
        if (size == 0)
            continue;
        const QByteArray commandBytes = m_pending.left(size);
        m_pending.remove(0, size);
        ++m_commands;
        if (commands)
            commands->append(commandBytes);
        if (!m_restarted && m_faults.restartAfter >= 0 && m_commands > m_faults.restartAfter) {
            // Power lost for a moment: this command is gone, the memory is kept,
            // and the device announces itself as it does at start-up.
            m_restarted = true;
            answers.append(QByteArray(1, kStartUpMark));
            if (delays)
                delays->append(0);
            continue;
        }
        const QByteArray answer = execute(commandBytes);
        if (!answer.isEmpty()) {
            answers.append(wrap(answer));
            if (delays) {
                const bool lengthSet = commandBytes.startsWith("/L") && commandBytes.at(2) != '?';
                delays->append(lengthSet ? m_faults.lengthAckLatencyMs : 0);
            }
        }
    }
    return answers;
}

int DeviceModel::completeCommandSize() const
{
    if (m_pending.isEmpty())
        return 0;
    const char first = m_pending.at(0);
    if (first != '/')
        return 1;  // "z", "V", or a stray byte answered with CMDERR
    if (m_pending.size() < 2)
        return 0;
    int needed = 2;  // an unknown letter after "/" ends the command
    switch (m_pending.at(1)) {
    case 'L':
    case 'R':
        needed = 3;
        break;
    case 'W':
        needed = 4 + m_length;
        break;
    default:
        break;
    }
    return m_pending.size() >= needed ? needed : 0;
}

QByteArray DeviceModel::execute(const QByteArray& command)
{
    const char first = command.at(0);
    if (first == 'z') {
        ++m_presenceProbes;
        if (m_presenceProbes < m_faults.presenceAnswerFrom)
            return {};
        if (m_faults.presenceAnswerLimit >= 0 && m_presenceAnswers >= m_faults.presenceAnswerLimit)
            return {};
        ++m_presenceAnswers;
        return QByteArray(1, static_cast<char>(m_faults.presenceByte));
    }
    if (first == 'V')
        return m_version;
    if (first != '/' || command.size() < 3)
        return kCommandError;

    const char letter = command.at(1);
    const std::uint8_t argument = at(command, 2);
    if (letter == 'L') {
        if (argument == '?')
            return QByteArray(
                    1, static_cast<char>('0' + (m_faults.reportedLength > 0 ? m_faults.reportedLength : m_length)));
        if (argument >= '1' && argument <= ':') {
            m_length = argument - '0';
            m_stateChanged = true;
            return QByteArray(1, kAck);
        }
        return kCommandError;
    }
    if (argument >= capacity())
        return kCommandError;  // no such slot at the current width
    if (letter == 'R') {
        if (argument == m_faults.silentRow)
            return {};
        if (argument == m_faults.refusedRow)
            return kCommandError;
        // As a device set to another width would answer: three bytes too many.
        if (argument == m_faults.longRow)
            return slotAnswer(argument) + QByteArray(3, 'x');
        QByteArray answer = slotAnswer(argument);
        if (argument == m_faults.strayFillRow)
            answer.back() = 'A';
        return answer;
    }
    if (letter == 'W') {
        setSlot(argument, at(command, 3), command.mid(4, m_length));
        m_stateChanged = true;
        QByteArray ack(1, kAck);
        ack.append(static_cast<char>(argument));
        return ack;
    }
    return kCommandError;
}

QByteArray DeviceModel::wrap(const QByteArray& answer) const
{
    return m_faults.garbageBefore + answer + m_faults.garbageAfter;
}

QByteArray DeviceModel::saveState() const
{
    QByteArray state = kStateMagic;
    state.append(static_cast<char>(m_length));
    for (const Slot& s : m_slots) {
        state.append(static_cast<char>(s.scancode));
        for (const std::uint8_t byte : s.bytes)
            state.append(static_cast<char>(byte));
    }
    return state;
}

void DeviceModel::loadState(const QByteArray& state)
{
    const int expected = static_cast<int>(kStateMagic.size()) + 1 + kSlots * kSlotRecord;
    if (!state.startsWith(kStateMagic) || state.size() != expected)
        throw DeviceError("not a device state file (wrong header or size)");
    const int length = at(state, static_cast<int>(kStateMagic.size()));
    if (length < 1 || length > kMaxLength)
        throw DeviceError(QStringLiteral("device state holds an invalid string length %1").arg(length).toStdString());
    m_length = length;
    int offset = static_cast<int>(kStateMagic.size()) + 1;
    for (Slot& s : m_slots) {
        s.scancode = at(state, offset);
        for (int i = 0; i < kMaxLength; ++i)
            s.bytes[static_cast<std::size_t>(i)] = at(state, offset + 1 + i);
        offset += kSlotRecord;
    }
}
