#pragma once

#include "device/waiter.h"

#include <QList>

#include <chrono>

class QEventLoop;

// The program's Waiter. Each wait has a deadline on the steady clock: a nested
// event loop keeps the window painting and handling input until shortly before
// it, and a sleep to the deadline itself finishes the wait, so a wait never ends
// early and how late it ends does not depend on what the event loop was doing.
// Nothing burns CPU meanwhile.
class EventLoopWaiter final : public Waiter {
public:
    EventLoopWaiter() = default;
    ~EventLoopWaiter() override = default;
    EventLoopWaiter(const EventLoopWaiter&) = delete;
    EventLoopWaiter& operator=(const EventLoopWaiter&) = delete;

    void delay(int ms) override;
    std::int64_t markUs() const override;
    void delayFrom(std::int64_t fromUs, int ms) override;
    // ready() is asked before the wait and each time the event loop has handled
    // what arrived (serial bytes come in that way), so an answer ends the wait
    // without delay.
    int delayUntil(int ms, const std::function<bool()>& ready) override;
    void processEvents() override;
    // Ends every running delay at once; this and every later wait throws.
    void requestAbort() override;

private:
    using Clock = std::chrono::steady_clock;

    void throwIfAborted() const;
    // Waits until the deadline (see the class comment), ending early once ready() holds.
    // True when it ended for ready().
    bool waitUntil(Clock::time_point deadline, const std::function<bool()>& ready);

    bool m_abort = false;
    // Delays can nest when an event handler waits inside another wait.
    QList<QEventLoop*> m_loops;
};
