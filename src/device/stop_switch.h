#pragma once

#include <QMutex>
#include <QObject>

class Waiter;

// A stop asked from any thread for the waits of a worker thread. While the
// worker holds an Attach, the request reaches its waiter through the worker's
// own event loop, which every wait runs, so a wait in progress ends at once; a
// request that comes before is kept and applied when the Attach is made.
class StopSwitch final {
public:
    // From any thread.
    void request();
    bool requested() const;

    // On the worker thread, around the code whose waits the stop should end.
    class Attach final {
    public:
        Attach(StopSwitch& stop, Waiter& waiter);
        ~Attach();
        Attach(const Attach&) = delete;
        Attach& operator=(const Attach&) = delete;

    private:
        StopSwitch& m_stop;
        QObject m_target;  // lives on the worker thread: the request is queued to it
    };

private:
    mutable QMutex m_mutex;
    bool m_requested = false;
    QObject* m_target = nullptr;
    Waiter* m_waiter = nullptr;
};
