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
    std::uint32_t now;
    std::uint32_t step;
};

}  // namespace zel::testing
