#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <stdexcept>

class Protocol;
class StatusSink;
class Waiter;

// Small steps the Read, Verify and Send operations share.
namespace table_steps {

// An answer the operation cannot go on with; what() is the description shown
// after the operation's message prefix.
class DeviceAnswerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why a read-slot answer is not one whole slot of `length` string bytes (the
// scan code, the string, then nothing but 0x00 filling), in words that follow
// "VELD "; "" when it is one. A length of 0 (not known) leaves the size unchecked.
QString slotFault(const QByteArray& answer, int length);

// Row numbers as a status line lists them: "4, 6, 8".
QString rowList(const QList<int>& rows);

// Whole percentage of value against maximum, cut down, with "%"; "0%" for a
// maximum that is not positive (no step to count).
QString percentText(int value, int maximum);

// After a row: the bar takes the row number only while it is within the bar's
// maximum (which may have been set for another string length), then the
// percentage follows the bar.
void showRowProgress(StatusSink& status, int row);

// Length answer to "/L?": the StrConfig index (0..9) its first byte names, or
// -1 when that byte is not a length digit. Throws DeviceAnswerError for an empty
// answer, which has no first byte to judge.
int lengthIndexFromAnswer(const QByteArray& answer);

// The first byte of an answer as the one character shown in the
// "Invalid string configuration" message.
QString firstCharacter(const QByteArray& answer);

// The end of a completed run: port closed, the closing pause, progress hidden.
void closeAndPause(Protocol& protocol, Waiter& waiter, StatusSink& status, int pauseMs);

// A count of failed rows or blocks as the completion label shows it: one blank
// where a sign would stand, then the number and `what` (" 3 FAILED blocks").
QString failedCount(int count, const QString& what);

}  // namespace table_steps
