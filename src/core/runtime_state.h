#pragma once
// The small runtime state beside the settings: capture paused, overlay hidden, and the
// revision number of the state broadcast. Never saved: every load starts paused and hidden.

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

} // namespace clackery
