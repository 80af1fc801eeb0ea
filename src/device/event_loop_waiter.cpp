#include "device/event_loop_waiter.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <exception>
#include <thread>

namespace {

// The event loop hands over this long before the deadline: it wakes up to a
// millisecond late on its own, more when it is busy, and the sleep that follows
// ends within a few tens of microseconds of the deadline.
constexpr auto kSleepStretch = std::chrono::milliseconds(2);
// Waits up to this long (the device's polls) handle what is pending and then
// sleep: the window still sees its events every few milliseconds, and a poll
// costs no event loop and no timer.
constexpr int kSleepOnlyMs = 10;

}  // namespace

void EventLoopWaiter::throwIfAborted() const
{
    if (m_abort)
        throw OperationAborted();
}

void EventLoopWaiter::delay(int ms)
{
    throwIfAborted();
    waitUntil(Clock::now() + std::chrono::milliseconds(std::max(0, ms)), {});
}

std::int64_t EventLoopWaiter::markUs() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

void EventLoopWaiter::delayFrom(std::int64_t fromUs, int ms)
{
    throwIfAborted();
    waitUntil(Clock::time_point(std::chrono::microseconds(fromUs) + std::chrono::milliseconds(std::max(0, ms))), {});
}

int EventLoopWaiter::delayUntil(int ms, const std::function<bool()>& ready)
{
    throwIfAborted();
    const Clock::time_point start = Clock::now();
    const auto waited = [&start] {
        // To the nearest millisecond: the callers add them up against their cap.
        return static_cast<int>(std::chrono::round<std::chrono::milliseconds>(Clock::now() - start).count());
    };
    if (ready && ready())
        return std::min(ms, waited());
    if (waitUntil(start + std::chrono::milliseconds(std::max(0, ms)), ready))
        return std::min(ms, waited());
    return ms;
}

bool EventLoopWaiter::waitUntil(Clock::time_point deadline, const std::function<bool()>& ready)
{
    const Clock::time_point start = Clock::now();
    if (!ready && deadline - start <= std::chrono::milliseconds(kSleepOnlyMs)) {
        processEvents();
        std::this_thread::sleep_until(deadline);
        throwIfAborted();
        return false;
    }

    const auto loopTime = std::chrono::floor<std::chrono::milliseconds>(deadline - kSleepStretch - start);
    if (loopTime.count() > 0) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QMetaObject::Connection check;
        std::exception_ptr failure;  // from ready(): never thrown through the event loop
        if (ready) {
            // Asked once the loop has handled everything pending, just before it sleeps.
            check = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                                     &loop, [&loop, &ready, &failure] {
                                         try {
                                             if (ready())
                                                 loop.quit();
                                         } catch (...) {
                                             failure = std::current_exception();
                                             loop.quit();
                                         }
                                     });
        }
        timer.start(static_cast<int>(loopTime.count()));
        m_loops.append(&loop);
        loop.exec();
        m_loops.removeOne(&loop);
        QObject::disconnect(check);
        throwIfAborted();
        if (failure)
            std::rethrow_exception(failure);
        if (ready && ready())
            return true;
    } else {
        processEvents();
    }
    std::this_thread::sleep_until(deadline);
    throwIfAborted();
    return false;
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
