#pragma once

namespace clackery {

// The core's 8 ms heartbeat on the UI thread.
void tick();

// Delivers what waits in the ring now, between ticks (the ring's wake).
void drain_keys();

} // namespace clackery
