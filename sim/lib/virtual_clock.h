#pragma once

#include <QtGlobal>

// Time as the tests see it: moves only when a VirtualWaiter waits.
struct VirtualClock final {
    qint64 nowMs = 0;
};
