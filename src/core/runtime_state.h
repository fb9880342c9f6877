#pragma once
// The small runtime state beside the settings (capture paused, overlay hidden, the revision
// of the state broadcast) and the operations that change it. Every change ends with
// publish_state(true), so the page always receives the complete state. UI thread only.

#include <cstdint>

namespace clackery {

struct RuntimeState {
	bool paused = true;
	bool hidden = true;
	// Hidden only because nobody has resumed since load; the first resume shows the overlay.
	bool auto_hidden = true;
	std::uint64_t rev = 1;
};

RuntimeState &runtime_state();

void set_paused(bool paused);
void toggle_paused();
// Works while paused too: the streamer may prepare the overlay before resuming.
void toggle_hidden();

// Refreshes the dock and sends the complete state to the page; `bump` marks a change (a new
// revision and a vendor event), false is the periodic or start-up re-send.
void publish_state(bool bump);

} // namespace clackery
