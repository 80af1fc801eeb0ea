#include "sim/lib/virtual_waiter.h"

void VirtualWaiter::throwIfAborted() const
{
    if (m_abort)
        throw OperationAborted();
}

void VirtualWaiter::delay(int ms)
{
    throwIfAborted();
    const int step = ms < 0 ? 0 : ms;
    m_waits.append(step);
    m_total += step;
    m_clock.nowMs += step;
    if (m_onEvents)
        m_onEvents();
    throwIfAborted();
}

int VirtualWaiter::delayUntil(int ms, const std::function<bool()>& ready)
{
    int waited = 0;
    while (waited < ms && !(ready && ready())) {
        delay(1);
        ++waited;
    }
    return waited;
}

void VirtualWaiter::processEvents()
{
    throwIfAborted();
    ++m_processEvents;
    if (m_onEvents)
        m_onEvents();
    throwIfAborted();
}

void VirtualWaiter::clearRecord()
{
    m_waits.clear();
    m_total = 0;
    m_processEvents = 0;
}
