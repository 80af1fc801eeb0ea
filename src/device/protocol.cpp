#include "device/protocol.h"

#include "device/serial_link.h"
#include "device/status_sink.h"
#include "device/waiter.h"
#include "model/capacity.h"

#include <algorithm>

namespace {

constexpr int kFullSpeedBaud = 9600;  // the waits are specified for this rate and above
constexpr qint64 kBitsPerCharacter = 11;  // start bit, 8 data bits, 2 stop bits
constexpr qint64 kQuietCharacters = 4;
// A USB adapter that was not given low latency holds bytes back for up to 16 ms.
constexpr int kAdapterHoldMs = 20;
// A version text of the usual size, for lengthening the version wait on a slow line.
constexpr int kVersionAnswerBytes = 16;

// Answers are bytes; every byte becomes the one character of the same code.
QString asText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

unsigned char byteAt(const QByteArray& bytes, qsizetype index)
{
    return index >= 0 && index < bytes.size() ? static_cast<unsigned char>(bytes.at(index)) : 0;
}

bool startsWithMark(const QByteArray& bytes)
{
    return !bytes.isEmpty() && byteAt(bytes, 0) == Protocol::kPresenceMark;
}

bool endsWithMark(const QByteArray& bytes)
{
    return !bytes.isEmpty() && byteAt(bytes, bytes.size() - 1) == Protocol::kPresenceMark;
}

bool notEmpty(const QByteArray& answer)
{
    return !answer.isEmpty();
}

}  // namespace

DeviceRestarted::DeviceRestarted()
    : std::runtime_error("the device restarted in the middle of the run (it sent its presence mark E8 unasked)")
{ }

Protocol::Protocol(SerialLink& link, Waiter& waiter, StatusSink& status, bool fastExchange)
    : m_link(link), m_waiter(waiter), m_status(status), m_fast(fastExchange)
{ }

int Protocol::lengthened(int waitMs, int wireBytes) const
{
    const int baud = m_link.baud();
    if (baud <= 0 || baud >= kFullSpeedBaud)
        return waitMs;
    const qint64 bits = wireBytes * kBitsPerCharacter;
    const qint64 extraUs = bits * 1000000 / baud - bits * 1000000 / kFullSpeedBaud;
    return waitMs + static_cast<int>((extraUs + 999) / 1000);
}

int Protocol::quietMs() const
{
    const int baud = m_link.baud();
    const qint64 charactersMs = baud > 0 ? (kQuietCharacters * kBitsPerCharacter * 1000 + baud - 1) / baud : 0;
    return std::max<int>(kAdapterHoldMs, static_cast<int>(charactersMs));
}

int Protocol::textQuietMs() const
{
    return std::max(kVersionQuietMs, quietMs());
}

QByteArray Protocol::collect(const Expected& expected)
{
    const int waitMs = lengthened(expected.waitMs, expected.wireBytes);
    const bool openEnded = !expected.whole;
    const int quiet = openEnded ? textQuietMs() : quietMs();
    QByteArray answer;
    int quietFor = 0;  // since the last byte came in; 0 when that is not known
    if (m_fast) {
        quietFor = follow(answer, waitMs, 0, expected.complete ? expected.complete : expected.whole,
                          openEnded ? quiet : 0);
    } else if (!openEnded) {
        waitFor(waitMs);
        answer = m_link.readAll();
    } else {
        // The last stretch of the wait is followed byte by byte, so that a text
        // still coming in is told from one that is all in.
        const int tail = std::min(quiet, waitMs);
        waitFor(waitMs - tail);
        answer = m_link.readAll();
        quietFor = follow(answer, tail, 0, {}, 0);
    }
    if (!openEnded) {
        if (!expected.whole(answer))
            follow(answer, waitMs, quietFor, expected.whole, quiet);
        return answer;
    }
    // A text that has not started gets one more wait to start in; once it has,
    // it is read until the line is quiet, and a line that never stops talking
    // is cut at the cap.
    if (answer.isEmpty())
        quietFor = follow(answer, waitMs, 0, notEmpty, 0);
    if (!answer.isEmpty() && quietFor < quiet)
        follow(answer, lengthened(kVersionTextCapMs, expected.wireBytes), quietFor, {}, quiet);
    return answer;
}

int Protocol::follow(QByteArray& answer, int ms, int quietFor, const std::function<bool(const QByteArray&)>& whole,
                     int quiet)
{
    // Counted in the waiter's milliseconds, so the cap holds on a virtual clock too.
    const auto arrived = [this] { return m_link.bytesAvailable() > 0; };
    const bool endOnQuiet = quiet > 0;
    int instantRounds = 0;
    for (int waited = 0; waited < ms;) {
        int budget = ms - waited;
        if (endOnQuiet && !answer.isEmpty())
            budget = std::min(budget, std::max(1, quiet - quietFor));
        const int took = m_waiter.delayUntil(budget, arrived);
        // Rounds that found bytes at once count a millisecond from the second
        // on: a line that never stops talking still reaches the cap.
        instantRounds = took > 0 ? 0 : instantRounds + 1;
        waited += instantRounds > 1 ? 1 : took;
        if (arrived()) {
            answer += m_link.readAll();
            quietFor = 0;
        } else {
            quietFor += took;
        }
        if ((whole && whole(answer)) || (endOnQuiet && !answer.isEmpty() && quietFor >= quiet))
            break;
    }
    restartWaits();
    return quietFor;
}

bool Protocol::slotAnswerComplete(const QByteArray& answer) const
{
    if (isRefusal(answer))
        return true;
    if (m_slotLength <= 0 || answer.size() < 1 + m_slotLength)
        return false;
    // A refusal starts with a byte that is also a scan code: at the narrow widths
    // its first letters would look like a whole slot, and the rest would land in
    // the next answer. Such a start waits for the rest or for the cap.
    return !QByteArray(kRefusal).startsWith(answer);
}

void Protocol::ensureOpen()
{
    if (!m_link.isOpen())
        m_link.open();
}

void Protocol::startCommand(bool tableCommand)
{
    ensureOpen();
    // Bytes already waiting came after an earlier command's listening had ended:
    // left there, they would be taken for this command's answer. Among a table
    // run's answers, the presence mark can only be the device starting afresh.
    if (m_link.bytesAvailable() > 0) {
        const QByteArray stale = m_link.readAll();
        m_owedReadBytes = std::max<int>(0, m_owedReadBytes - static_cast<int>(stale.size()));
        if (tableCommand && endsWithMark(stale))
            throw DeviceRestarted();
    }
}

void Protocol::sent()
{
    m_dueUs = m_waiter.markUs();
}

void Protocol::waitFor(int ms)
{
    const std::int64_t from = m_dueUs;
    m_dueUs += std::int64_t{ms} * 1000;
    m_waiter.delayFrom(from, ms);
}

void Protocol::restartWaits()
{
    m_dueUs = m_waiter.markUs();
}

void Protocol::close()
{
    m_link.close();
}

QByteArray Protocol::probePresence()
{
    startCommand(false);
    m_link.write(command::presence());
    sent();
    for (int step = 0; step < kPresenceSteps; ++step) {
        waitFor(kPresenceStepMs);
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
    startCommand(false);
    m_status.add(QStringLiteral("Requesting Version"));
    m_link.write(command::version());
    sent();
    // The version text has no fixed length: only a quiet line says it is all in.
    const QString answer = asText(collect({kVersionWaitMs, 1 + kVersionAnswerBytes, {}, {}}));
    m_status.add(QStringLiteral("Version = ") + (answer.isEmpty() ? QStringLiteral("???") : answer));
    return answer;
}

QByteArray Protocol::queryStringLength()
{
    startCommand(true);
    m_link.write(command::queryLength());
    sent();
    m_status.add(QStringLiteral("Sent /L?"));
    const QByteArray answer = collect({kQueryLengthWaitMs, 4, notEmpty, {}});
    m_status.add(QStringLiteral("Response  ") + asText(answer));
    if (startsWithMark(answer) || endsWithMark(answer))
        throw DeviceRestarted();
    m_slotLength = answer.isEmpty() ? 0 : command::lengthFromDigit(answer.at(0));
    return answer;
}

QByteArray Protocol::setStringLength(int length)
{
    const QByteArray bytes = command::setLength(length);
    startCommand(true);
    m_link.write(bytes);
    sent();
    m_status.add(QStringLiteral("Sent ") + asText(bytes));
    const QByteArray answer = collect({kSetLengthWaitMs, 4, notEmpty, {}});
    if (startsWithMark(answer) || endsWithMark(answer))
        throw DeviceRestarted();
    if (byteAt(answer, 0) == kAck)
        m_slotLength = length;
    return answer;
}

QByteArray Protocol::readSlot(int row)
{
    const QByteArray bytes = command::readSlot(row);
    startCommand(true);
    m_link.write(bytes);
    sent();
    m_status.add(trace::readSlotSent(row));
    const int width = m_slotLength > 0 ? m_slotLength : capacity::kMaxLength;
    // Without a known width, any answer is taken as it came.
    const QByteArray answer = collect({kReadSlotWaitMs, 3 + 1 + width,
                                       [this](const QByteArray& sofar) {
                                           return m_slotLength > 0 ? slotAnswerComplete(sofar) : !sofar.isEmpty();
                                       },
                                       [this](const QByteArray& sofar) { return slotAnswerComplete(sofar); }});
    m_owedReadBytes = m_slotLength > 0 && !isRefusal(answer)
            ? std::max(0, 1 + m_slotLength - static_cast<int>(answer.size()))
            : 0;
    // The mark where a slot should start, or after a whole slot: no scan code is 0xE8.
    const qsizetype size = 1 + m_slotLength;
    if ((startsWithMark(answer) && (m_slotLength <= 0 || answer.size() != size))
        || (m_slotLength > 0 && answer.size() > size && endsWithMark(answer)))
        throw DeviceRestarted();
    return answer;
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
    startCommand(true);
    m_owedAcks.set(static_cast<std::size_t>(row));
    m_link.write(head);
    m_link.write(QByteArray(1, static_cast<char>(scancode)));
    m_link.write(slotBytes);
    sent();
    m_status.add(trace::writeSlotSent(row, scancode, screenString));
}

void Protocol::takeBlockRead(BlockAnswer& result, int row, const std::function<bool(int)>& readBack)
{
    if (result.acknowledged) {
        // The block is acknowledged and read back; what comes later in its
        // window (a late acknowledge of an earlier block) does not undo that.
        if (endsWithMark(m_link.readAll()))
            throw DeviceRestarted();
        return;
    }
    QByteArray read = m_link.readAll();
    // The rest of the last read-back, come after its wait, stands in front of this block's acknowledge.
    if (m_owedReadBytes > 0 && byteAt(read, m_owedReadBytes) == kAck) {
        read.remove(0, m_owedReadBytes);
        m_owedReadBytes = 0;
    }
    // Acknowledges of earlier blocks that came after their window and its
    // extension stand in front of this block's: they are not its answer.
    while (read.size() >= 2 && byteAt(read, 0) == kAck && byteAt(read, 1) != static_cast<unsigned char>(row)
           && (read.size() >= 4 || m_owedAcks.test(byteAt(read, 1)))) {
        m_owedAcks.reset(byteAt(read, 1));
        read.remove(0, 2);
    }
    if (read.isEmpty())
        return;  // this block's own answer is still to come
    if (startsWithMark(read))
        throw DeviceRestarted();
    result.lastRead = read;
    result.answered = true;
    result.acknowledged = byteAt(result.lastRead, 0) == kAck && result.lastRead.size() >= 2
            && byteAt(result.lastRead, 1) == static_cast<unsigned char>(row);
    if (result.acknowledged) {
        m_owedAcks.reset(static_cast<std::size_t>(row));
        result.verified = readBack ? readBack(row) : false;
        result.line = (result.verified ? QStringLiteral("success  blk# ") : QStringLiteral("FAILED to verify blk# "))
                + trace::hex(row);
    } else {
        result.verified = false;
        result.line = trace::displayForm(result.lastRead);
    }
}

BlockAnswer Protocol::awaitBlockAnswer(int row, const std::function<bool(int)>& readBack)
{
    command::checkRow(row);
    BlockAnswer result;
    const int windowMs = lengthened(kBlockPolls * kBlockPollMs, 4 + m_slotLength + 2);
    const auto answerIn = [this] { return m_link.bytesAvailable() >= 2; };
    for (int elapsed = 0; elapsed < windowMs;) {
        if (m_fast) {
            elapsed += m_waiter.delayUntil(windowMs - elapsed, answerIn);
            restartWaits();
        } else {
            waitFor(kBlockPollMs);
            elapsed += kBlockPollMs;
        }
        if (answerIn()) {
            takeBlockRead(result, row, readBack);
            // Only the idle rest of the window is left: fast exchange skips it.
            if (m_fast && result.acknowledged)
                break;
        }
        m_waiter.processEvents();
    }
    // A late acknowledge is still this block's: one more window, ending when it is in.
    for (int elapsed = 0; !result.answered && elapsed < windowMs;) {
        elapsed += std::max(1, m_waiter.delayUntil(windowMs - elapsed, answerIn));
        restartWaits();
        if (answerIn())
            takeBlockRead(result, row, readBack);
        m_waiter.processEvents();
    }
    if (!result.answered) {
        result.line = QStringLiteral("timeout");
        // A single byte is no answer; the presence mark is the device starting afresh.
        if (m_link.bytesAvailable() > 0 && endsWithMark(m_link.readAll()))
            throw DeviceRestarted();
    }
    m_status.add(result.line);
    return result;
}
