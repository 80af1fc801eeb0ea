#pragma once

#include <QString>

// The status list, completion label and progress display, as the device code
// and the operations drive them. The window shows them; the command-line tool
// prints them; tests record them.
class StatusSink {
public:
    virtual ~StatusSink() = default;

    // Appends a line (and to the log file when logging is on);
    // returns the line's index in the list.
    virtual int add(const QString& line) = 0;
    // Replaces the text of a line added earlier (the presence check's " *" marks).
    virtual void setLine(int index, const QString& line) = 0;
    virtual QString line(int index) const = 0;
    virtual void clear() = 0;

    virtual void showCompletion(const QString& text) = 0;
    virtual void hideCompletion(const QString& text) = 0;

    virtual void showProgress() = 0;  // bar, "Progress" and percentage visible
    virtual void hideProgress() = 0;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual int progressMaximum() const = 0;
    virtual void setProgressValue(int value) = 0;
    virtual int progressValue() const = 0;
    virtual void setPercentText(const QString& text) = 0;
};
