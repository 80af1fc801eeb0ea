#pragma once

#include "device/waiter.h"
#include "sim/lib/virtual_clock.h"

#include <QList>
#include <functional>

// Delay on a virtual clock: no real sleeping, every wait recorded, so tests can
// check the exact wait pattern and total waiting time.
class VirtualWaiter final : public Waiter {
public:
    explicit VirtualWaiter(VirtualClock& clock) : m_clock(clock) { }

    void delay(int ms) override;
    std::int64_t markUs() const override { return m_clock.nowMs * 1000; }
    // Recorded as a delay of what is left of the wait, in whole milliseconds.
    void delayFrom(std::int64_t fromUs, int ms) override;
    // Asks ready() before and after each virtual millisecond; every millisecond
    // is recorded as a wait of 1.
    int delayUntil(int ms, const std::function<bool()>& ready) override;
    void processEvents() override;
    void requestAbort() override { m_abort = true; }

    const QList<int>& waits() const { return m_waits; }
    qint64 totalWaitedMs() const { return m_total; }
    int processEventsCount() const { return m_processEvents; }
    void clearRecord();

    // Runs at every delay (after the clock moved) and every processEvents: the
    // place where a test plays the operator acting during a wait.
    void setOnEvents(std::function<void()> hook) { m_onEvents = std::move(hook); }

private:
    void throwIfAborted() const;

    VirtualClock& m_clock;
    QList<int> m_waits;
    qint64 m_total = 0;
    int m_processEvents = 0;
    bool m_abort = false;
    std::function<void()> m_onEvents;
};
