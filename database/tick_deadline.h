// Deadlines on the 32-bit millisecond tick, which wraps every 49.7 days. A deadline is compared by
// the signed distance from it, so that one set shortly before the wrap neither passes at once nor
// never passes; this holds for any span under 24.8 days.
#pragma once

#include <cstdint>

namespace zel::database {

constexpr bool TickDeadlinePassed(std::uint32_t deadline, std::uint32_t now) {
    return static_cast<std::int32_t>(now - deadline) > 0;
}

}  // namespace zel::database
