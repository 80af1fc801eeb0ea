#pragma once

#include "device/waiter.h"

#include <QList>

class QEventLoop;

// The program's Delay: a nested event loop ended by a precise single-shot timer,
// so the window keeps painting and handling input while nothing burns CPU.
class EventLoopWaiter final : public Waiter {
public:
    EventLoopWaiter() = default;
    ~EventLoopWaiter() override = default;
    EventLoopWaiter(const EventLoopWaiter&) = delete;
    EventLoopWaiter& operator=(const EventLoopWaiter&) = delete;

    void delay(int ms) override;
    void processEvents() override;
    // Ends every running delay at once; this and every later wait throws.
    void requestAbort() override;
    bool abortRequested() const override { return m_abort; }

private:
    void throwIfAborted() const;

    bool m_abort = false;
    // Delays can nest when an event handler waits inside another wait.
    QList<QEventLoop*> m_loops;
};
