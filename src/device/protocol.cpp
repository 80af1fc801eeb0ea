#include "device/protocol.h"

#include "device/serial_link.h"
#include "device/status_sink.h"
#include "device/waiter.h"

#include <algorithm>

namespace {

void checkRow(int row)
{
    if (row < 0 || row > command::kMaxRow)
        throw ProtocolError(QStringLiteral("Row %1 is outside 0 to %2").arg(row).arg(command::kMaxRow).toStdString());
}

QByteArray withRowByte(const char* prefix, int row)
{
    checkRow(row);
    QByteArray bytes(prefix);
    // Appended as a raw byte: row 0 is a real 0x00 inside the command.
    bytes.append(static_cast<char>(row));
    return bytes;
}

// Answers are bytes; every byte becomes the one character of the same code.
QString asText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

unsigned char byteAt(const QByteArray& bytes, qsizetype index)
{
    return index >= 0 && index < bytes.size() ? static_cast<unsigned char>(bytes.at(index)) : 0;
}

}  // namespace

namespace command {

QByteArray presence()
{
    return QByteArrayLiteral("z");
}
QByteArray version()
{
    return QByteArrayLiteral("V");
}
QByteArray queryLength()
{
    return QByteArrayLiteral("/L?");
}

char lengthDigit(int length)
{
    if (length < kMinLength || length > kMaxLength)
        throw ProtocolError(QStringLiteral("String length %1 is outside 1 to 10").arg(length).toStdString());
    return static_cast<char>('0' + length);
}

int lengthFromDigit(char digit)
{
    const int value = static_cast<unsigned char>(digit) - '0';
    return value >= kMinLength && value <= kMaxLength ? value : 0;
}

QByteArray setLength(int length)
{
    QByteArray bytes("/L");
    bytes.append(lengthDigit(length));
    return bytes;
}

QByteArray readSlot(int row)
{
    return withRowByte("/R", row);
}
QByteArray writeSlotHead(int row)
{
    return withRowByte("/W", row);
}

}  // namespace command

namespace trace {

QString hex(int value)
{
    return QString::number(value, 16).toUpper();
}

QString hex2(int value)
{
    return hex(value).rightJustified(2, QLatin1Char('0'));
}

QString bracedBytes(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size() * 4);
    for (const char byte : bytes)
        text += QLatin1Char('{') + hex2(static_cast<unsigned char>(byte)) + QLatin1Char('}');
    return text;
}

QString readSlotSent(int row)
{
    checkRow(row);
    return QStringLiteral("Sent /R{") + hex2(row) + QLatin1Char('}');
}

QStringList readSlotResponse(const QByteArray& answer)
{
    if (answer.isEmpty())
        return {QStringLiteral("No response to command received")};
    if (answer.contains("CMDERR"))
        return {asText(answer), QStringLiteral("Response: ")};
    return {QStringLiteral("Response: ") + bracedBytes(answer)};
}

std::optional<QString> verifySlotResponse(const QByteArray& answer)
{
    if (answer.isEmpty())
        return std::nullopt;
    return QStringLiteral("Response: ") + bracedBytes(answer.mid(1));
}

QString writeSlotSent(int row, int scancode, const QString& screenString)
{
    return QStringLiteral("/W{") + hex(row) + QStringLiteral("}{") + hex(scancode) + QLatin1Char('}') + screenString;
}

QString displayForm(const QByteArray& bytes)
{
    QString text;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 32 || code > 124)
            text += QLatin1Char('{') + hex(code) + QLatin1Char('}');
        else
            text += QLatin1Char(static_cast<char>(code));
    }
    return text;
}

}  // namespace trace

Protocol::Protocol(SerialLink& link, Waiter& waiter, StatusSink& status, bool fastExchange)
    : m_link(link), m_waiter(waiter), m_status(status), m_fast(fastExchange)
{ }

QByteArray Protocol::collect(int waitMs, const std::function<bool(const QByteArray&)>& complete, int quietEndsMs)
{
    if (!m_fast) {
        m_waiter.delay(waitMs);
        return m_link.readAll();
    }
    // Counted in the waiter's milliseconds, so the cap holds on a virtual clock too.
    QByteArray answer;
    int quietMs = 0;
    const auto arrived = [this] { return m_link.bytesAvailable() > 0; };
    for (int waited = 0; waited < waitMs;) {
        int budget = waitMs - waited;
        if (quietEndsMs > 0 && !answer.isEmpty())
            budget = std::min(budget, quietEndsMs - quietMs);
        const int took = m_waiter.delayUntil(budget, arrived);
        waited += took;
        if (arrived()) {
            answer += m_link.readAll();
            quietMs = 0;
        } else {
            quietMs += took;
        }
        if (complete(answer) || (quietEndsMs > 0 && !answer.isEmpty() && quietMs >= quietEndsMs))
            break;
    }
    return answer;
}

bool Protocol::slotAnswerComplete(const QByteArray& answer) const
{
    static const QByteArray kRefusal = QByteArrayLiteral("CMDERR");
    if (answer.contains(kRefusal))
        return true;
    if (m_slotLength <= 0 || answer.size() < 1 + m_slotLength)
        return false;
    // A refusal starts with a byte that is also a scan code: at the narrow widths
    // its first letters would look like a whole slot, and the rest would land in
    // the next answer. Such a start waits for the rest or for the cap.
    return !kRefusal.startsWith(answer);
}

void Protocol::ensureOpen()
{
    if (!m_link.isOpen())
        m_link.open();
}

void Protocol::startCommand()
{
    ensureOpen();
    // Every answer belongs to the command just sent. Bytes already waiting came
    // after an earlier command's wait had ended (a late acknowledge, the tail of
    // an over-long answer): left there, they would be taken for this command's
    // answer, and one late answer would fail every block after it.
    if (m_link.bytesAvailable() > 0)
        m_link.readAll();
}

void Protocol::close()
{
    m_link.close();
}

QByteArray Protocol::probePresence()
{
    startCommand();
    m_link.write(command::presence());
    for (int step = 0; step < kPresenceSteps; ++step) {
        m_waiter.delay(kPresenceStepMs);
        if (m_link.bytesAvailable() >= 1) {
            const QByteArray answer = m_link.readAll();
            if (!answer.isEmpty())
                return answer;
        }
    }
    return {};
}

QString Protocol::queryVersion()
{
    startCommand();
    m_status.add(QStringLiteral("Requesting Version"));
    m_link.write(command::version());
    // The version text has no fixed length: only a quiet line says it is all in.
    const QString answer = asText(collect(
            kVersionWaitMs, [](const QByteArray&) { return false; }, kVersionQuietMs));
    m_status.add(QStringLiteral("Version = ") + (answer.isEmpty() ? QStringLiteral("???") : answer));
    return answer;
}

QByteArray Protocol::queryStringLength()
{
    startCommand();
    m_link.write(command::queryLength());
    m_status.add(QStringLiteral("Sent /L?"));
    const QByteArray answer = collect(kQueryLengthWaitMs, [](const QByteArray& sofar) { return !sofar.isEmpty(); });
    m_status.add(QStringLiteral("Response  ") + asText(answer));
    m_slotLength = answer.isEmpty() ? 0 : command::lengthFromDigit(answer.at(0));
    return answer;
}

QByteArray Protocol::setStringLength(int length)
{
    const QByteArray bytes = command::setLength(length);
    startCommand();
    m_link.write(bytes);
    m_status.add(QStringLiteral("Sent ") + asText(bytes));
    const QByteArray answer = collect(kSetLengthWaitMs, [](const QByteArray& sofar) { return !sofar.isEmpty(); });
    if (byteAt(answer, 0) == kAck)
        m_slotLength = length;
    return answer;
}

QByteArray Protocol::readSlot(int row)
{
    const QByteArray bytes = command::readSlot(row);
    startCommand();
    m_link.write(bytes);
    m_status.add(trace::readSlotSent(row));
    return collect(kReadSlotWaitMs, [this](const QByteArray& sofar) { return slotAnswerComplete(sofar); });
}

void Protocol::writeSlot(int row, int scancode, const QByteArray& slotBytes, int length, const QString& screenString)
{
    const QByteArray head = command::writeSlotHead(row);
    command::lengthDigit(length);  // range check
    if (scancode < 0 || scancode > 0xFF)
        throw ProtocolError(QStringLiteral("Scan code %1 does not fit in one byte").arg(scancode).toStdString());
    if (slotBytes.size() != length) {
        throw ProtocolError(QStringLiteral("Row %1 has %2 string bytes where the string length is %3")
                                    .arg(row)
                                    .arg(slotBytes.size())
                                    .arg(length)
                                    .toStdString());
    }
    startCommand();
    m_link.write(head);
    m_link.write(QByteArray(1, static_cast<char>(scancode)));
    m_link.write(slotBytes);
    m_status.add(trace::writeSlotSent(row, scancode, screenString));
}

BlockAnswer Protocol::awaitBlockAnswer(int row, const std::function<bool(int)>& readBack)
{
    checkRow(row);
    BlockAnswer result;
    const auto answerIn = [this] { return m_link.bytesAvailable() >= 2; };
    for (int elapsed = 0; elapsed < kBlockPolls * kBlockPollMs;) {
        if (m_fast) {
            elapsed += m_waiter.delayUntil(kBlockPolls * kBlockPollMs - elapsed, answerIn);
        } else {
            m_waiter.delay(kBlockPollMs);
            elapsed += kBlockPollMs;
        }
        if (answerIn()) {
            result.lastRead = m_link.readAll();
            // Acknowledges of earlier blocks that came after their own window
            // ended stand in front of this block's: they are not its answer.
            while (result.lastRead.size() >= 4 && byteAt(result.lastRead, 0) == kAck
                   && byteAt(result.lastRead, 1) != static_cast<unsigned char>(row))
                result.lastRead.remove(0, 2);
            result.answered = true;
            result.acknowledged = byteAt(result.lastRead, 0) == kAck && result.lastRead.size() >= 2
                    && byteAt(result.lastRead, 1) == static_cast<unsigned char>(row);
            if (result.acknowledged) {
                result.verified = readBack ? readBack(row) : false;
                result.line =
                        (result.verified ? QStringLiteral("success  blk# ") : QStringLiteral("FAILED to verify blk# "))
                        + trace::hex(row);
            } else {
                result.verified = false;
                result.line = trace::displayForm(result.lastRead);
            }
            // Only the idle rest of the window is left: fast exchange skips it.
            if (m_fast && result.acknowledged)
                break;
        }
        m_waiter.processEvents();
    }
    if (!result.answered)
        result.line = QStringLiteral("timeout");
    m_status.add(result.line);
    return result;
}
