#pragma once

#include "capture/key_state.h"
#include "core/core.h"

#include <cstdint>
#include <functional>

namespace clackery {

// The core's 8 ms heartbeat on the UI thread.
void tick(Core &core);
// The same with the tick clock (milliseconds) and the still-down probe given.
void tick_with(Core &core, const std::function<std::uint64_t()> &clock_ms,
	       const std::function<KeyState(std::uint32_t vk)> &probe);

// Delivers what waits in the ring now, between ticks (the ring's wake).
void drain_keys(Core &core);

} // namespace clackery
