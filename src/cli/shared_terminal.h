#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QMutex>
#include <QString>
#include <QStringList>

namespace cli {

struct Console;

// Standard output and error shared by devices that run at once, each on its own
// thread: every write is whole lines under one lock, so lines never mix. On a
// terminal a board of one progress line per device stands below the lines;
// a printed line takes it away and the next redraw puts it back.
class SharedTerminal final {
public:
    // board: standard error is a terminal and progress should be drawn there.
    SharedTerminal(Console& console, bool board);

    // Before the threads start: one progress slot per device, in order.
    int addDevice(const QString& label);

    void print(bool toErr, const QByteArray& lines);
    // line: the device's progress line, "" when it has none.
    void setProgress(int device, const QString& line);
    // A line below the devices' lines ("" for none).
    void setFooter(const QString& line);
    // Draws the board when something changed since it was last drawn.
    void redraw();
    // Takes the board off the screen for good.
    void finish();

private:
    void eraseBoard();  // with m_mutex held

    QMutex m_mutex;
    Console& m_console;
    bool m_board;
    bool m_finished = false;
    QStringList m_labels;
    QStringList m_progress;
    QString m_footer;
    int m_drawn = 0;  // board lines on the screen now
    bool m_changed = false;
};

// A device's standard output or error: each line written is printed through
// the shared terminal as "[label] line".
class PrefixedStream final : public QIODevice {
public:
    PrefixedStream(SharedTerminal& terminal, const QString& label, bool toErr);
    ~PrefixedStream() override;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    SharedTerminal& m_terminal;
    QByteArray m_prefix;
    bool m_toErr;
    QByteArray m_pending;  // the start of a line whose end has not come yet
};

}  // namespace cli
