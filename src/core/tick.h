#pragma once

namespace clackery {

// The core's 8 ms heartbeat on the UI thread.
void tick();

} // namespace clackery
