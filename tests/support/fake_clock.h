// A clock that tests drive: it returns `now` and then advances it by `step` on every reading.
#pragma once

#include "platform/clock.h"

namespace zel::testing {

class FakeClock final : public platform::Clock {
public:
    explicit FakeClock(std::uint32_t start = 0, std::uint32_t increment = 0) : now(start), step(increment) {}
    std::uint32_t TickCount() override {
        std::uint32_t value = now;
        now += step;
        return value;
    }
    int LocalSecond() override { return 0; }
    std::optional<std::int64_t> LocalTimeToUnix(int y, int mo, int d, int h, int mi, int s) override {
        return platform::SystemClock().LocalTimeToUnix(y, mo, d, h, mi, s);
    }
    // Waiting passes the time it asks for.
    void Sleep(std::uint32_t milliseconds) override { now += milliseconds; }
    std::uint32_t now;
    std::uint32_t step;
};

}  // namespace zel::testing
