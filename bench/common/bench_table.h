#pragma once

// What the benchmark programs share: a fixed table to send, a message sink
// that prints instead of asking, and the real waiter with a look at each wait.

#include "device/event_loop_waiter.h"
#include "model/capacity.h"
#include "model/key_table.h"
#include "model/messages.h"
#include "model/row_table.h"
#include "operations/operation_context.h"
#include "operations/read_operation.h"
#include "operations/send_operation.h"
#include "operations/verify_operation.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <functional>
#include <stdexcept>

class PrintedMessages final : public Messages {
public:
    void info(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool confirm(const QString&, const QString&) override { return false; }
    void beep() override { }
};

// The program's own waiter; after each delay, `seen` gets the milliseconds
// asked for and the wall milliseconds it took.
class SeenWaiter final : public Waiter {
public:
    explicit SeenWaiter(std::function<void(int askedMs, qint64 tookMs)> seen) : m_seen(std::move(seen)) { }
    void delay(int ms) override
    {
        QElapsedTimer timer;
        timer.start();
        m_inner.delay(ms);
        m_seen(ms, timer.elapsed());
    }
    std::int64_t markUs() const override { return m_inner.markUs(); }
    // Seen as a delay of `ms` that took the time since `fromUs`.
    void delayFrom(std::int64_t fromUs, int ms) override
    {
        m_inner.delayFrom(fromUs, ms);
        m_seen(ms, (markUs() - fromUs) / 1000);
    }
    // Seen as a delay of the time it waited.
    int delayUntil(int ms, const std::function<bool()>& ready) override
    {
        QElapsedTimer timer;
        timer.start();
        const int waited = m_inner.delayUntil(ms, ready);
        m_seen(waited, timer.elapsed());
        return waited;
    }
    void processEvents() override { m_inner.processEvents(); }
    void requestAbort() override { m_inner.requestAbort(); }

private:
    EventLoopWaiter m_inner;
    std::function<void(int, qint64)> m_seen;
};

// Every usable row with a key and a string of the full width, printable
// characters and fields mixed, the same table for every run.
inline void fillTable(RowTable& rows, int length)
{
    const int count = capacity::maxKeysForIndex(length - 1);
    for (int r = 0; r < count; ++r) {
        const auto index = static_cast<std::size_t>(r);
        rows.keyNames.at(index) = key_table::records().at(index).keyName;
        QString text;
        for (int i = 0; i < length; ++i)
            text += (i + r) % 3 == 0 ? QStringLiteral("{%1}").arg((r + i) % 200 + 1, 2, 16, QLatin1Char('0')).toUpper()
                                     : QString(QLatin1Char(static_cast<char>('a' + (r + i) % 26)));
        rows.strings.at(index) = text;
    }
}

// Runs Read, Verify or Send, named as on the benchmark's command line.
inline void runTableOperation(const QString& op, OperationContext& context)
{
    if (op == QLatin1String("read"))
        ReadOperation(context).run();
    else if (op == QLatin1String("verify"))
        VerifyOperation(context).run();
    else if (op == QLatin1String("send"))
        SendOperation(context).run();
    else
        throw std::runtime_error("the operation must be read, verify or send");
}
