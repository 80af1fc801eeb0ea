#pragma once

#include "device/status_sink.h"
#include "model/messages.h"

#include <QString>
#include <QStringList>

#include <functional>

// The status list and message boxes of one device's run at a station: nobody
// reads them as they come, so they are kept for the result (the version line,
// the last message, the completion text) and the progress is handed on as a
// percentage whenever it changes.
class DeviceStatus final : public StatusSink, public Messages {
public:
    // percent: called with 0..100 each time the progress shown changes.
    explicit DeviceStatus(std::function<void(int percent)> percent) : m_percent(std::move(percent)) { }

    // The device's answer to the version query ("" before it, or when none came).
    QString version() const;
    // Why the run did not succeed, in one line: the last message box, else a
    // count of failed blocks or rows, else the last status line.
    QString failure() const;
    // The last status line ("" when none).
    QString lastLine() const { return m_lines.isEmpty() ? QString() : m_lines.constLast(); }

    // StatusSink
    int add(const QString& line) override;
    void setLine(int index, const QString& line) override;
    QString line(int index) const override { return m_lines.value(index); }
    void clear() override { m_lines.clear(); }
    void showCompletion(const QString& text) override { m_completion = text; }
    void hideCompletion(const QString&) override { m_completion.clear(); }
    void showProgress() override { }
    void hideProgress() override { }
    void setProgressMaximum(int maximum) override { m_maximum = maximum; }
    int progressMaximum() const override { return m_maximum; }
    void setProgressValue(int value) override;
    int progressValue() const override { return m_value; }
    void setPercentText(const QString&) override { }

    // Messages: nobody answers a question, so every question is answered No.
    void info(const QString& text) override { m_message = text; }
    bool confirm(const QString&, const QString&) override { return false; }
    void beep() override { }

    const QString& completion() const { return m_completion; }
    const QString& message() const { return m_message; }

private:
    std::function<void(int)> m_percent;
    QStringList m_lines;
    QString m_completion;
    QString m_message;
    int m_maximum = 0;
    int m_value = 0;
    int m_shownPercent = -1;
};
