#pragma once
// One captured key transition, mouse button transition or wheel notch, as the hook thread hands
// it to the UI thread. All three travel in the one ring, so a click keeps its place among the keys.

#include <cstdint>

namespace clackery {

// What a record stands for. A key uses the fields as they always were. A mouse button carries
// its MouseEvent.button number (0 main, 1 auxiliary, 2 secondary, 3 back, 4 forward) in `vk` and
// the transition in `down`; a wheel notch its direction in `dx` or `dy` (-1 or +1, WheelEvent's
// signs: up and left are negative). The other fields of those two stay zero.
enum class RecordKind : std::uint8_t { key = 0, button = 1, wheel = 2 };

struct KeyRecord {
	std::uint32_t scancode = 0;   // hardware scan code; 0 when the source has none
	std::uint32_t vk = 0;         // virtual-key code
	bool extended = false;        // the extended-key flag (E0 prefix)
	bool down = false;            // press, else release
	bool injected = false;        // sent by a program; carried, never acted on
	double t = 0;                 // capture time, ms since 1970-01-01 UTC
	std::uint64_t generation = 0; // capture generation at push time, stamped by push_record
	bool synthetic = false;       // made by the test path; the still-down sweep leaves it alone
	RecordKind kind = RecordKind::key;
	std::int8_t dx = 0; // wheel notches only
	std::int8_t dy = 0;
};

} // namespace clackery
