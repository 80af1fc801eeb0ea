#include "device/event_loop_waiter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void EventLoopWaiter::throwIfAborted() const
{
    if (m_abort)
        throw OperationAborted();
}

void EventLoopWaiter::delay(int ms)
{
    throwIfAborted();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms < 0 ? 0 : ms);

    m_loops.append(&loop);
    loop.exec();
    m_loops.removeOne(&loop);

    throwIfAborted();
}

void EventLoopWaiter::processEvents()
{
    throwIfAborted();
    QCoreApplication::processEvents();
    throwIfAborted();
}

void EventLoopWaiter::requestAbort()
{
    m_abort = true;
    for (QEventLoop* loop : std::as_const(m_loops))
        loop->quit();
}
