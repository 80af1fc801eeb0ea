#include "device/stop_switch.h"

#include "device/waiter.h"

#include <QMetaObject>

void StopSwitch::request()
{
    QMutexLocker lock(&m_mutex);
    m_requested = true;
    // The waiter belongs to the worker's thread: the stop is handed to that
    // thread's event loop, which runs inside every wait.
    if (m_target) {
        Waiter* waiter = m_waiter;
        QMetaObject::invokeMethod(
                m_target, [waiter] { waiter->requestAbort(); }, Qt::QueuedConnection);
    }
}

bool StopSwitch::requested() const
{
    QMutexLocker lock(&m_mutex);
    return m_requested;
}

StopSwitch::Attach::Attach(StopSwitch& stop, Waiter& waiter) : m_stop(stop)
{
    QMutexLocker lock(&m_stop.m_mutex);
    m_stop.m_target = &m_target;
    m_stop.m_waiter = &waiter;
    if (m_stop.m_requested)
        waiter.requestAbort();
}

StopSwitch::Attach::~Attach()
{
    QMutexLocker lock(&m_stop.m_mutex);
    m_stop.m_target = nullptr;
    m_stop.m_waiter = nullptr;
}
