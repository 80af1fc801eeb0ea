#include "sim/lib/virtual_waiter.h"

#include <algorithm>

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

void VirtualWaiter::delayFrom(std::int64_t fromUs, int ms)
{
    const std::int64_t leftUs = fromUs + std::int64_t{ms} * 1000 - markUs();
    delay(static_cast<int>((std::max<std::int64_t>(0, leftUs) + 999) / 1000));
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
