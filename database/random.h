// The process-wide pseudo-random generator used to pick signature windows: values 0 to 32767,
// reseeded by every signature construction. One thread at a time generates signatures.
#pragma once

#include <cstdint>

namespace zel::database {

void SeedRandom(std::uint32_t seed);
// The next value, uniform in 0..32767.
int NextRandom();

}  // namespace zel::database
