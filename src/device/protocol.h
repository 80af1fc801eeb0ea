#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>

class SerialLink;
class StatusSink;
class Waiter;

// A request the protocol cannot put on the wire (a row or length out of range).
class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The exact bytes of every command. No terminator is ever appended.
namespace command {

inline constexpr int kMinLength = 1;
inline constexpr int kMaxLength = 10;
inline constexpr int kMaxRow = 96;  // highest row number the program has

QByteArray presence();  // "z"
QByteArray version();  // "V"
QByteArray queryLength();  // "/L?"
// '1'..'9', ':' for 10; throws ProtocolError outside 1..10.
char lengthDigit(int length);
// 1..10 for a length digit, 0 for any other byte.
int lengthFromDigit(char digit);
QByteArray setLength(int length);  // "/L" + digit
QByteArray readSlot(int row);  // "/R" + one raw row byte (row 0 is 0x00)
QByteArray writeSlotHead(int row);  // "/W" + one raw row byte

}  // namespace command

// Status-list texts of the exchanges, for the operations that write their own.
namespace trace {

// Upper-case hex without leading zeros ("5", "A", "1C").
QString hex(int value);
// Two upper-case hex digits ("0A").
QString hex2(int value);
// "{0A}{61}" for every byte.
QString bracedBytes(const QByteArray& bytes);

QString readSlotSent(int row);  // "Sent /R{0A}"
// The read operation's lines for a read-slot answer: "No response to command
// received"; or the raw answer then "Response: " when it holds "CMDERR"; or
// "Response: " and every byte braced, scan code included.
QStringList readSlotResponse(const QByteArray& answer);
// The verify form: "Response: " and the bytes after the scan code; nothing for
// an empty answer.
std::optional<QString> verifySlotResponse(const QByteArray& answer);
// "/W{A}{1C}ab{0D}": hex without zero filling, the screen string unpadded.
QString writeSlotSent(int row, int scancode, const QString& screenString);
// Bytes below 32 or above 124 as "{hex}" without zero filling, others unchanged.
QString displayForm(const QByteArray& bytes);

}  // namespace trace

// What came back for one written block during its fixed polling window.
struct BlockAnswer final {
    bool answered = false;  // some read of at least 2 bytes happened
    bool acknowledged = false;  // the last such read was 0x06 + the row byte
    bool verified = false;  // what the read-back said about the last acknowledgement
    QByteArray lastRead;  // the last read of at least 2 bytes
    QString line;  // the status line written for the block
};

// One conversation with the device: every exchange with its exact bytes, waits
// and trace lines. Each exchange opens the port first when it is closed (never
// reopens an open one) and reads without flushing, so a late answer is seen by
// the next command.
//
// Fast exchange (opt-in): a fixed wait ends as soon as the whole expected answer
// is in, with the fixed wait as the cap: one byte for either length command, scan
// code and slot bytes for a read (the width the device reported or acknowledged
// in this conversation), and the version text once the line has stayed quiet for
// 20 ms. The block answer window ends once the acknowledge and row byte are in
// and the slot has been read back. The bytes sent, the trace lines and the
// presence probe are the same as without.
class Protocol final {
public:
    static constexpr int kPresenceSteps = 51;
    static constexpr int kPresenceStepMs = 5;
    static constexpr int kVersionWaitMs = 25;
    static constexpr int kSetLengthWaitMs = 50;
    static constexpr int kQueryLengthWaitMs = 100;
    static constexpr int kReadSlotWaitMs = 100;
    static constexpr int kBlockPolls = 5;
    static constexpr int kBlockPollMs = 10;
    static constexpr unsigned char kAck = 0x06;
    static constexpr unsigned char kPresenceMark = 0xE8;
    static constexpr int kVersionQuietMs = 20;

    Protocol(SerialLink& link, Waiter& waiter, StatusSink& status, bool fastExchange = false);

    bool fastExchange() const { return m_fast; }

    SerialLink& link() { return m_link; }
    Waiter& waiter() { return m_waiter; }
    StatusSink& status() { return m_status; }

    void ensureOpen();
    void startCommand();  // the port opened, and what waits unread from earlier commands dropped
    void close();

    // "z", then up to 51 polls of 5 ms; the first non-empty read, or "" when the
    // device stayed silent. Writes no trace line.
    QByteArray probePresence();

    // "Requesting Version", "V", 25 ms, "Version = <answer or ???>"; the answer as text.
    QString queryVersion();

    // "/L?", "Sent /L?", 100 ms, "Response  <raw answer>"; the raw answer.
    QByteArray queryStringLength();

    // "/L<digit>", "Sent /L<digit>", 50 ms; the raw answer (not traced).
    QByteArray setStringLength(int length);

    // "/R<row>", "Sent /R{hh}", 100 ms; the raw answer. The caller traces the
    // answer in its own form (trace::readSlotResponse / verifySlotResponse).
    QByteArray readSlot(int row);

    // The block "/W"+row, the scan code, the `length` slot bytes as three writes,
    // then its trace line. slotBytes must hold exactly `length` bytes: a short
    // block would shift every later byte the device stores.
    void writeSlot(int row, int scancode, const QByteArray& slotBytes, int length, const QString& screenString);

    // The block's answer window: always 5 rounds of delay(10) (in fast exchange
    // it ends after an acknowledged block's read-back); a read of at least
    // 2 bytes that is 0x06 + row calls readBack(row) (the slot check), and every
    // round lets the window handle events. Writes the block's verdict line:
    // "success  blk# <hex row>", "FAILED to verify blk# <hex row>", the last answer
    // in display form, or "timeout" when nothing arrived.
    BlockAnswer awaitBlockAnswer(int row, const std::function<bool(int row)>& readBack);

private:
    // Everything that arrived during a fixed wait of waitMs; in fast exchange,
    // what arrived until complete(answer so far) holds or, with quietEndsMs, the
    // line has been quiet that long after the first byte.
    QByteArray collect(int waitMs, const std::function<bool(const QByteArray&)>& complete, int quietEndsMs = 0);
    bool slotAnswerComplete(const QByteArray& answer) const;

    SerialLink& m_link;
    Waiter& m_waiter;
    StatusSink& m_status;
    bool m_fast = false;
    int m_slotLength = 0;  // the device's string length once known, for the read answer's size
};
