#pragma once
// Which keys are down as far as the emitted events say: turns ring records into key events,
// drops auto-repeats and unmatched releases, and releases keys whose release was lost.

#include "capture/key_names.h"
#include "capture/key_record.h"
#include "capture/key_state.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace clackery {

struct KeyEvent {
	const char *code = nullptr; // a static key name, or "*" when masked
	bool down = false;
	Modifiers mods;
	double t = 0; // ms since 1970-01-01 UTC, as captured
};

struct HeldKey {
	KeyRecord record; // the press
	const char *name = nullptr;
	std::int32_t misses = 0; // consecutive sweeps that found the key up
};

// Keyed by the static name, in byte order.
using HeldKeys = std::map<std::string_view, HeldKey>;

struct KeyTally {
	std::uint64_t unknown = 0;  // records without a name
	std::uint64_t repeated = 0; // presses of a key already held (auto-repeat)
};

// The modifiers of the keys held now.
Modifiers held_modifiers(const HeldKeys &held);

// The event for one record, or none for an unnamed key, a repeat or a release never pressed.
std::optional<KeyEvent> update_held_keys(HeldKeys &held, const KeyRecord &record, KeyTally &tally);

// Releases keys that two sweeps in a row found up; a probe without an answer counts as neither.
// Test keys (synthetic) are never probed: they stay held until their own release arrives.
std::vector<KeyEvent> sweep_held_keys(HeldKeys &held, const std::function<KeyState(std::uint32_t vk)> &key_state,
				      double t);

// Releases every held key, in key order, each event with the modifiers still held after it: the
// session went away (a lock, a user switch, a sleep) and no release will come.
std::vector<KeyEvent> release_all_held_keys(HeldKeys &held, double t);

// The copy sent while the "mask" setting is on: no key name, no modifiers.
KeyEvent masked(const KeyEvent &event);

} // namespace clackery
