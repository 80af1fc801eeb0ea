#pragma once

#include <cstdint>
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
    // A moment on the waiter's own clock, in microseconds, for waits counted
    // from it rather than from their own start (a command's write).
    virtual std::int64_t markUs() const = 0;
    // Like delay(), but returns `ms` milliseconds after the moment `fromUs`
    // (markUs()): what the program did since that moment is part of the wait,
    // not added to it. When that time has passed it only lets the program
    // handle its events. Throws OperationAborted.
    virtual void delayFrom(std::int64_t fromUs, int ms) = 0;
    // Like delay(ms), but ends as soon as ready() holds (it is asked before
    // waiting too). Returns the milliseconds waited, at most ms, on the waiter's
    // own clock, so that callers can hold a cap across several calls. Throws
    // OperationAborted, and what ready() throws.
    virtual int delayUntil(int ms, const std::function<bool()>& ready) = 0;
    virtual void processEvents() = 0;  // one pass of pending events; throws OperationAborted
    virtual void requestAbort() = 0;
};
