#pragma once
// One captured key transition as the hook thread hands it to the UI thread.

#include <cstdint>

namespace clackery {

struct KeyRecord {
	std::uint32_t scancode = 0;   // hardware scan code; 0 when the source has none
	std::uint32_t vk = 0;         // virtual-key code
	bool extended = false;        // the extended-key flag (E0 prefix)
	bool down = false;            // press, else release
	bool injected = false;        // sent by a program; carried, never acted on
	double t = 0;                 // capture time, ms since 1970-01-01 UTC
	std::uint64_t generation = 0; // capture generation at push time, stamped by push_record
	bool synthetic = false;       // made by the test path; the still-down sweep leaves it alone
};

} // namespace clackery
