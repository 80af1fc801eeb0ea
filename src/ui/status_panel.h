#pragma once

#include "device/status_sink.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class FileDialogs;
class Messages;
class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QWidget;

namespace twips {
class Placer;
}

// The status list, the log switch, the completion label and the progress
// display of the main window, and the StatusSink the operations write to.
class StatusPanel final : public QObject, public StatusSink {
    Q_OBJECT

public:
    static constexpr int kMaxLines = 250;
    // A new line scrolls the list so that the line this many places before the
    // end is the first one in view.
    static constexpr int kLinesInView = 5;

    // The panel's widgets are made children of `parent`, which the log-file
    // dialog also opens over.
    StatusPanel(QWidget* parent, const twips::Placer& placer, Messages& messages, FileDialogs& dialogs);

    // StatusSink. add() throws std::runtime_error when logging is on and the log
    // file cannot be written: the line is in the list by then, and the running
    // operation reports the failure with its own message.
    int add(const QString& line) override;
    void setLine(int index, const QString& line) override;  // throws for a line not in the list
    QString line(int index) const override;  // throws for a line not in the list
    void clear() override;
    void showCompletion(const QString& text) override;
    void hideCompletion(const QString& text) override;
    void showProgress() override;
    void hideProgress() override;
    void setProgressMaximum(int maximum) override;
    int progressMaximum() const override;
    void setProgressValue(int value) override;
    int progressValue() const override;
    void setPercentText(const QString& text) override;

    int count() const;
    QStringList lines() const;
    // Index of the first line in view (0 when the list fits).
    int firstVisibleLine() const;
    bool loggingOn() const;

    // While a device operation runs, lines and progress reach the widgets in
    // batches, at most one every kBatchMs (about three a second: enough for the
    // eye and a screen reader, while painting the list and bar and telling a
    // screen reader are most of the window's CPU time in a run), from the event
    // loop: that is during a wait, after the next command has gone out, so no
    // command waits for the window's work for the answer before it, and the list
    // and a screen reader take a batch at a time. Reads through this panel see
    // every line at once. Turned off, what is held is shown at once.
    static constexpr int kBatchMs = 300;
    void setBatched(bool batched);

    QListWidget* list() const { return m_list; }
    QCheckBox* logBox() const { return m_logBox; }
    QLabel* completionLabel() const { return m_completion; }
    QProgressBar* progressBar() const { return m_bar; }
    QLabel* progressLabel() const { return m_progressLabel; }
    QLabel* percentLabel() const { return m_percentLabel; }

    // The filter of the log-file dialog.
    static const QString& logFilter();

private:
    void onLogClicked(bool ticked);
    // Puts the held lines, progress value and percentage into the widgets.
    // Const: reads through the panel flush first; the widgets are not the panel's state.
    void flush() const;
    void showProgressValue() const;
    // Where line `index` is: its place among the held lines, or a negative
    // number n for the list's item count() + n. Throws for a line not in the panel.
    int heldIndex(int index) const;

    Messages& m_messages;
    FileDialogs& m_dialogs;
    QWidget* m_dialogParent;
    QListWidget* m_list = nullptr;
    QCheckBox* m_logBox = nullptr;
    QLabel* m_completion = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_progressLabel = nullptr;
    QLabel* m_percentLabel = nullptr;
    QString m_logName;
    int m_progressMaximum = 0;
    int m_progressValue = 0;
    bool m_batched = false;
    mutable QTimer m_flushTimer;
    mutable QElapsedTimer m_sinceFlush;
    mutable QStringList m_heldLines;  // added, not yet in the list
    QString m_percentText;
};
