#pragma once
// Mouse records to the events the overlay gets: a button's press and release, once each, and one
// event per wheel notch, both with the modifiers of the keys held at that moment in the stream.

#include "capture/held_keys.h"
#include "capture/key_record.h"
#include "capture/mouse_records.h"

#include <array>
#include <cstdint>
#include <optional>

namespace clackery {

struct MouseEvent {
	RecordKind kind = RecordKind::button; // button or wheel
	std::uint32_t button = 0;             // button: MouseEvent.button number
	bool down = false;                    // button: press, else release
	int dx = 0;                           // wheel: -1, 0 or +1, WheelEvent's signs
	int dy = 0;
	Modifiers mods;
	double t = 0; // ms since 1970-01-01 UTC, as captured
};

// Which buttons are down as far as the emitted events say.
using HeldButtons = std::array<bool, MOUSE_BUTTON_COUNT>;

// The event of a button or wheel record; none for a key record, a button number of no meaning, a
// press of a button already held or a release of one not held (X11 may report a transition
// twice, and a button may have been down before capture began), or a wheel record without a
// direction. `keys` gives the modifiers.
std::optional<MouseEvent> mouse_event(HeldButtons &buttons, const HeldKeys &keys, const KeyRecord &record);

// The copy sent while keys are masked: the button or direction stays, the modifiers go, so a
// click reveals nothing typed.
MouseEvent masked(const MouseEvent &event);

} // namespace clackery
