#pragma once

#include <functional>
#include <stdexcept>

// Thrown out of a wait when the operation has been asked to stop (window closed,
// Ctrl-C in the command-line tool).
class OperationAborted : public std::runtime_error {
public:
    OperationAborted() : std::runtime_error("operation aborted") { }
};

// delay(ms): returns after ms milliseconds while the program keeps handling its
// events. The real one runs a nested event loop on a precise timer; the tests'
// one advances a virtual clock.
class Waiter {
public:
    virtual ~Waiter() = default;
    virtual void delay(int ms) = 0;  // throws OperationAborted
    // Like delay(ms), but ends as soon as ready() holds (it is asked before
    // waiting too). Returns the milliseconds waited, at most ms, on the waiter's
    // own clock, so that callers can hold a cap across several calls. Throws
    // OperationAborted, and what ready() throws.
    virtual int delayUntil(int ms, const std::function<bool()>& ready) = 0;
    virtual void processEvents() = 0;  // one pass of pending events; throws OperationAborted
    virtual void requestAbort() = 0;
};
