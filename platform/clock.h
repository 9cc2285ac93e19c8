// Time: a millisecond tick counter for timeouts and rates, the local wall clock, and waiting.
// Handed to the code that measures time, so that tests drive it.
#pragma once

#include <cstdint>
#include <optional>

namespace zel::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, in the manner of a system uptime counter: it never goes
    // back, and wraps modulo 2^32. Any thread may call it.
    virtual std::uint32_t TickCount() = 0;
    // The seconds field (0-59) of the local wall clock now. Any thread may call it.
    virtual int LocalSecond() = 0;
    // Seconds since 1970 (UTC) of a local date and time, daylight saving decided by the system's
    // rules for that date; nullopt when the fields do not form a valid local date and time (a day the
    // month lacks, an hour past 23). Any thread may call it.
    virtual std::optional<std::int64_t> LocalTimeToUnix(int year, int month, int day, int hour, int minute,
                                                        int second) = 0;
    // Blocks the calling thread for about `milliseconds`.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The monotonic clock and the local time of the operating system.
Clock& SystemClock();

}  // namespace zel::platform
