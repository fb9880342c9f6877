#pragma once
// Delivery counters of the UI thread, counted from library load and never reset.

#include <cstdint>

namespace clackery {

struct DeliveryCounters {
	std::uint64_t sent = 0;        // key events delivered
	std::uint64_t unknown = 0;     // key records without a code name
	std::uint64_t repeated = 0;    // presses of a key already held
	std::uint64_t text_sent = 0;   // text frames delivered
	std::uint64_t text_paused = 0; // text frames dropped while paused
};

DeliveryCounters &delivery_counters();

} // namespace clackery
