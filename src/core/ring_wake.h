#pragma once
// Keys leave as soon as the hook thread stores them, not at the next 8 ms tick: the hook raises
// a wake signal that the UI thread's event loop watches, and the UI thread then drains the ring.
// The tick still drains too, as the safety net.

#include "core/core.h"

namespace clackery {

// UI thread, at load. False when no signal could be made: the tick alone drains.
bool start_ring_wake(Core &core);

// UI thread, at shutdown, only after the hook thread has been joined: no hook may still be
// inside the wake when the watcher and the signal go.
void stop_ring_wake(Core &core);

} // namespace clackery
