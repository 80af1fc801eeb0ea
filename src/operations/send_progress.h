#pragma once

#include <QString>
#include <QStringList>

// How far a Send got with the device, and the one sentence that tells the
// operator what the device holds after a Send that did not end normally. The
// window's message box, the status list, the log and the command-line tool all
// take the sentence from here.
struct SendProgress final {
    bool lengthSent = false;  // the string length command went out
    bool lengthRefused = false;  // the device answered it with its error reply: nothing changed
    int rows = 0;  // blocks the table has at its string length
    int lastSent = -1;  // the last row whose block started to go out
    int lastAcknowledged = -1;  // the last row whose block the device acknowledged
    bool allSent = false;  // every block went out and had its window
    int failed = 0;  // blocks not acknowledged, read back differently or not sendable

    // "" when the device's table was not touched (nothing went out, or the device
    // refused the string length). Claims only what is known: the device's
    // reaction to the length command is not, so rows not written are not called
    // empty, and a block whose acknowledge did not come (a stop, a restart, a
    // lost line) may or may not have been stored.
    QString whatTheDeviceHolds() const;
};
