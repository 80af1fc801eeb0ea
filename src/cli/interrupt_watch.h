#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;
class Waiter;

namespace cli {

// Ctrl-C and SIGTERM end the run at its next wait. The handler only writes a
// byte into a pipe (all a signal handler may safely do); a socket notifier on
// the other end, served by the waiter's event loop, asks the waiter to stop.
// The operations then throw at the wait and close the port; the three writes
// of a block go out with no wait between them, so no block is ever cut.
// One watch at a time; the handlers are restored when it ends.
class InterruptWatch final {
public:
    explicit InterruptWatch(Waiter& waiter);
    // stop runs on this thread's event loop, once, for the first signal.
    explicit InterruptWatch(std::function<void()> stop);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Whether a signal came, including one still waiting in the pipe because no
    // event loop ran since.
    bool interrupted();

private:
    void drain();

    std::function<void()> m_onInterrupt;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_interrupted = false;
};

}  // namespace cli
