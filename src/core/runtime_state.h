#pragma once
// The operations on the runtime state beside the settings (capture paused, overlay hidden, the
// revision of the state broadcast). Every change ends with publish_state(core, true), so the
// page always receives the complete state. UI thread only.

#include "core/core.h"

namespace clackery {

void set_paused(Core &core, bool paused);
void toggle_paused(Core &core);
// Works while paused too: the streamer may prepare the overlay before resuming.
void toggle_hidden(Core &core);

// Refreshes the dock and sends the complete state to the page; `bump` marks a change (a new
// revision and a vendor event), false is the periodic or start-up re-send.
void publish_state(Core &core, bool bump);

// Closes capture (a new generation, so queued records are discarded) and forgets held keys.
void close_capture_and_forget_keys(Core &core);
// Opens capture again with a new generation when not paused; stays closed while paused.
void reopen_capture(const Core &core);

} // namespace clackery
