#pragma once

#include "device/status_sink.h"

#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

namespace cli {

// Device text made safe for a terminal: control characters (C0, DEL, C1) become
// "?", so an answer holding an escape sequence cannot drive the terminal.
QString terminalSafe(const QString& text);

// The progress line drawn on a terminal: the bar, the row number against the
// last row, and the window's percentage text.
QString progressLine(int value, int maximum, const QString& percentText);

// The window's status list, completion label and progress display, printed.
//
// Each status line is printed once, when it is final: a line stays open while
// it may still change in place (the presence check appends its " *" marks to
// the line it added) and is printed when the next line arrives, the list is
// cleared, a completion or message is shown, or the run ends. The completion
// text is printed as a line of its own, also with --quiet. The log file gets
// every line the moment it is added, exactly as the window's log does.
class ConsoleStatus final : public StatusSink {
public:
    static constexpr int kMaxLines = 250;  // as in the window: indices stay comparable

    // lines: where status lines and the completion go. messages: standard error,
    // for message texts and, when progressBar is set, the progress bar.
    ConsoleStatus(QIODevice& lines, QIODevice& messages, bool progressBar);

    void setQuiet(bool quiet) { m_quiet = quiet; }
    // Every later status line is appended here; a failed append throws FileError
    // out of add(), which the running operation reports as its own error.
    void setLogFile(const QString& path) { m_logPath = path; }

    // Told the progress line each time it changes while shown, "" once hidden:
    // with several devices one board shows every device's line.
    void setProgressReport(std::function<void(const QString&)> report) { m_report = std::move(report); }

    // A message box's text, on standard error, after the open line.
    void printMessage(const QString& text);
    // Prints the open line and takes the progress bar off the screen.
    void finish();

    int add(const QString& line) override;
    void setLine(int index, const QString& line) override;
    QString line(int index) const override;
    void clear() override;
    void showCompletion(const QString& text) override;
    void hideCompletion(const QString& text) override;
    void showProgress() override;
    void hideProgress() override;
    void setProgressMaximum(int maximum) override;
    int progressMaximum() const override { return m_maximum; }
    void setProgressValue(int value) override;
    int progressValue() const override { return m_value; }
    void setPercentText(const QString& text) override;

    // The last message box's text ("" when none was shown).
    const QString& lastMessage() const { return m_lastMessage; }
    // The completion text shown last ("" while hidden).
    QString completion() const { return m_completion; }
    // The status list as the window would show it now.
    const QStringList& lines() const { return m_list; }

private:
    void checkIndex(int index) const;
    void printOpenLine();
    void write(QIODevice& device, const QString& text);
    void drawBar();
    void eraseBar();

    QIODevice& m_lines;
    QIODevice& m_messages;
    bool m_barWanted;
    bool m_quiet = false;
    QString m_logPath;
    QStringList m_list;
    int m_open = -1;  // index of the line not printed yet
    QString m_completion;
    QString m_lastMessage;
    bool m_progressShown = false;
    bool m_barDrawn = false;
    int m_maximum = 0;
    int m_value = 0;
    QString m_percent = QStringLiteral("0%");
    std::function<void(const QString&)> m_report;
};

}  // namespace cli
