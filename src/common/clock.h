#pragma once

#include <cstdint>

namespace clackery {

// Milliseconds since 1970-01-01 UTC with a fraction; every time sent to the page uses it.
// The standard system clock reads the precise system time on Windows.
double wall_clock_ms();

// A monotonic millisecond count for intervals (sweeps, periodic publication).
std::uint64_t tick_count_ms();

} // namespace clackery
