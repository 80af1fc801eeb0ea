#include "cli/interrupt_watch.h"

#include "device/waiter.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace cli {

namespace {

int g_pipe[2] = {-1, -1};
struct sigaction g_previousInt { };
struct sigaction g_previousTerm { };

extern "C" void onInterrupt(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

InterruptWatch::InterruptWatch(Waiter& waiter) : InterruptWatch([&waiter] { waiter.requestAbort(); })
{ }

InterruptWatch::InterruptWatch(std::function<void()> stop) : m_onInterrupt(std::move(stop))
{
    if (g_pipe[0] >= 0)
        throw std::logic_error("only one interrupt watch can run at a time");
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot create the pipe for Ctrl-C handling");

    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { drain(); });

    struct sigaction action { };
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // a port open or write in progress finishes instead of failing
    ::sigaction(SIGINT, &action, &g_previousInt);
    ::sigaction(SIGTERM, &action, &g_previousTerm);
}

InterruptWatch::~InterruptWatch()
{
    ::sigaction(SIGINT, &g_previousInt, nullptr);
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
    m_notifier.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void InterruptWatch::drain()
{
    char bytes[16];
    bool received = false;
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0)
        received = true;
    if (received && !m_interrupted) {
        m_interrupted = true;
        m_onInterrupt();
    }
}

bool InterruptWatch::interrupted()
{
    drain();
    return m_interrupted;
}

}  // namespace cli
