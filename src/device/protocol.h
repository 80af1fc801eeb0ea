#pragma once

#include "model/row_table.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <bitset>
#include <cstdint>
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

// The device sent its presence mark unasked in the middle of a run: it has
// restarted, and nothing it says can be matched to our commands any more.
class DeviceRestarted : public std::runtime_error {
public:
    DeviceRestarted();
};

// The exact bytes of every command. No terminator is ever appended.
namespace command {

inline constexpr int kMaxRow = RowTable::kRows - 1;  // highest row number the program has

void checkRow(int row);  // throws ProtocolError outside 0..kMaxRow
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
// reopens an open one) and reads without flushing.
//
// Every answer belongs to the command just sent. Bytes waiting when a command
// goes out came too late for an earlier one and are dropped. So are a late
// read-back's answer and late acknowledges that come in front of a block's own. When a wait ends
// with no answer or an incomplete one, the exchange keeps listening for at most
// one more wait of the same length, ending as soon as the answer is whole or the
// line has been quiet for quietMs(); what comes then is still this command's.
// Only an answer that is late or short pays for that time.
//
// A fixed wait counts from the moment its command was written, and the polls
// that follow one another each from the end of the one before: what the
// program does in between (status lines, the window) is part of the wait, not
// added to it, and no wait ends before its time after the command.
//
// Below 9600 baud each wait grows by the extra time its bytes need on the wire.
// An answer of no fixed size (the version text) ends only when the line has
// been quiet for textQuietMs(): a USB adapter hands bytes over in 16 ms bursts,
// and a busy machine delays a burst further, so a shorter quiet would take a
// text that is still coming for a whole one. Once the text has started it is
// read until then, cut only when the line keeps talking for kVersionTextCapMs;
// a text that has not started by the end of its wait gets one more wait.
//
// Fast exchange (opt-in): a fixed wait ends as soon as the whole expected answer
// is in, with the fixed wait as the cap: one byte for either length command, scan
// code and slot bytes for a read (the width the device reported or acknowledged
// in this conversation). The version text ends as without, on the quiet line.
// The block answer window ends once the acknowledge and row byte are in
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
    static constexpr char kRefusal[] = "CMDERR";  // said for a command the device will not carry out
    // How long a quiet line must stay quiet before the version text counts as all in:
    // six 16 ms bursts of a USB adapter, with room for a busy machine to deliver one late.
    static constexpr int kVersionQuietMs = 100;
    // A version text still coming this long after it started is cut (a line that never stops talking).
    static constexpr int kVersionTextCapMs = 1000;

    Protocol(SerialLink& link, Waiter& waiter, StatusSink& status, bool fastExchange = false);

    static bool isRefusal(const QByteArray& answer) { return answer.contains(kRefusal); }

    bool fastExchange() const { return m_fast; }

    SerialLink& link() { return m_link; }
    Waiter& waiter() { return m_waiter; }
    StatusSink& status() { return m_status; }

    // The wait of an exchange whose command and answer take `wireBytes` bytes:
    // as specified at 9600 baud and above, longer by the bytes' extra wire time below.
    int lengthened(int waitMs, int wireBytes) const;
    // How long a quiet line means an answer has stopped coming: a few character
    // times, and never less than the 16 ms in which a USB adapter may hold bytes back.
    int quietMs() const;
    // The same for an answer of no fixed size: never less than kVersionQuietMs.
    int textQuietMs() const;

    void ensureOpen();
    void close();

    // "z", then up to 51 polls of 5 ms; the first non-empty read, or "" when the
    // device stayed silent. Writes no trace line.
    QByteArray probePresence();

    // "Requesting Version", "V", 25 ms, "Version = <answer or ???>"; the answer as text.
    QString queryVersion();

    // "/L?", "Sent /L?", 100 ms, "Response  <raw answer>"; the raw answer.
    // Throws DeviceRestarted when it starts or ends with the presence mark.
    QByteArray queryStringLength();

    // "/L<digit>", "Sent /L<digit>", 50 ms; the raw answer (not traced).
    // Throws DeviceRestarted when it starts or ends with the presence mark.
    QByteArray setStringLength(int length);

    // "/R<row>", "Sent /R{hh}", 100 ms; the raw answer. The caller traces the
    // answer in its own form (trace::readSlotResponse / verifySlotResponse).
    // Throws DeviceRestarted for a presence mark where the slot should be.
    QByteArray readSlot(int row);

    // The slot width this conversation learnt from the device (0: not yet).
    int slotLength() const { return m_slotLength; }

    // The block "/W"+row, the scan code, the `length` slot bytes as three writes,
    // then its trace line. slotBytes must hold exactly `length` bytes: a short
    // block would shift every later byte the device stores.
    void writeSlot(int row, int scancode, const QByteArray& slotBytes, int length, const QString& screenString);

    // The block's answer window: always 5 rounds of delay(10), more on a slow
    // line (in fast exchange it ends after an acknowledged block's read-back); a
    // read of at least 2 bytes that is 0x06 + row calls readBack(row) (the slot
    // check), and every round lets the window handle events. A window that ends
    // without 2 bytes keeps listening for one more window. Writes the block's
    // verdict line: "success  blk# <hex row>", "FAILED to verify blk# <hex row>",
    // the last answer in display form, or "timeout" when nothing arrived.
    BlockAnswer awaitBlockAnswer(int row, const std::function<bool(int row)>& readBack);

private:
    // What one fixed-wait exchange expects back.
    struct Expected final {
        int waitMs = 0;  // the specified wait
        int wireBytes = 0;  // command and answer bytes, for a slow line
        // The answer is whole; empty for an answer of no fixed size.
        std::function<bool(const QByteArray&)> whole;
        // Fast exchange ends the wait early on this (default: whole).
        std::function<bool(const QByteArray&)> complete;
    };

    // A command has been written: the fixed waits that follow count from now.
    void sent();
    // The next fixed wait of `ms`, counted from the end of the one before (or
    // from the command's write), so that the time between them is not added.
    void waitFor(int ms);
    // The waits that follow count from now (after a wait that may end early).
    void restartWaits();
    // The port opened, and what waits unread from earlier commands dropped;
    // for a command of a table run, a presence mark among them is a restart.
    void startCommand(bool tableCommand);
    // The answer of one fixed-wait exchange; see the class comment.
    QByteArray collect(const Expected& expected);
    // Adds what arrives within ms to `answer`, ending early once whole(answer)
    // holds or, with a quiet above 0, once something has come and the line has
    // been quiet for that many milliseconds. quietFor: milliseconds since the
    // last byte at the start; returns the same at the end.
    int follow(QByteArray& answer, int ms, int quietFor, const std::function<bool(const QByteArray&)>& whole,
               int quiet);
    bool slotAnswerComplete(const QByteArray& answer) const;
    // Reads one window's bytes into `result`, the read-back included.
    void takeBlockRead(BlockAnswer& result, int row, const std::function<bool(int)>& readBack);

    SerialLink& m_link;
    Waiter& m_waiter;
    StatusSink& m_status;
    bool m_fast = false;
    int m_slotLength = 0;  // the device's string length once known, for the read answer's size
    std::int64_t m_dueUs = 0;  // on the waiter's clock: when the last fixed wait ends
    std::bitset<256> m_owedAcks;  // rows whose block went out and was not acknowledged yet
    int m_owedReadBytes = 0;  // of the last read-back that came short: still on their way, perhaps
};
