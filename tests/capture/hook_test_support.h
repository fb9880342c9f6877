#pragma once
// Helpers for the hook thread tests: waiting for records with a deadline instead of sleeping.

#include "capture/ring.h"

#include <chrono>
#include <thread>
#include <vector>

namespace clackery {

// Pops until `count` records have arrived or five seconds have passed.
inline std::vector<KeyRecord> wait_for_records(KeyRing &ring, std::size_t count)
{
	std::vector<KeyRecord> records;
	const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
	KeyRecord out;
	while (records.size() < count && std::chrono::steady_clock::now() < deadline) {
		if (pop_record(ring, out))
			records.push_back(out);
		else
			std::this_thread::sleep_for(std::chrono::milliseconds(1));
	}
	return records;
}

inline KeyRecord test_key(std::uint32_t scancode, std::uint32_t vk, bool down)
{
	KeyRecord record;
	record.scancode = scancode;
	record.vk = vk;
	record.down = down;
	return record;
}

} // namespace clackery
