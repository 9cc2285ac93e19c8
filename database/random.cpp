#include "database/random.h"

#include <atomic>

namespace zel::database {
namespace {

// A linear congruential generator; 15 high-order bits of the state make one value.
std::atomic<std::uint32_t> g_state{1};

}  // namespace

void SeedRandom(std::uint32_t seed) { g_state.store(seed, std::memory_order_relaxed); }

int NextRandom() {
    std::uint32_t state = g_state.load(std::memory_order_relaxed) * 214013u + 2531011u;
    g_state.store(state, std::memory_order_relaxed);
    return static_cast<int>((state >> 16) & 0x7FFF);
}

}  // namespace zel::database
