// Millisecond tick counter, in the manner of a system uptime counter that wraps after 2^32 ms.
#pragma once

#include <cstdint>

namespace zel::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps modulo 2^32. Any thread may call it.
    virtual std::uint32_t TickCount() = 0;
};

// The monotonic clock of the operating system.
Clock& SystemClock();

}  // namespace zel::platform
