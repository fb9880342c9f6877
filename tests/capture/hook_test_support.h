#pragma once
// Helpers for the hook thread tests: waiting for records with a deadline instead of sleeping.

#include "capture/ring.h"

#include "capture/capture_log.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
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

// Waits up to five seconds for `condition`; returns its last value.
template <typename Condition> bool wait_until(Condition condition)
{
	const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
	while (!condition()) {
		if (std::chrono::steady_clock::now() >= deadline)
			return condition();
		std::this_thread::sleep_for(std::chrono::milliseconds(1));
	}
	return true;
}

// Collects what capture logs while it lives (one at a time: the sink is process-wide).
class CaptureLines {
public:
	CaptureLines()
	{
		reset();
		set_capture_log_sink(&CaptureLines::add);
	}
	~CaptureLines() { set_capture_log_sink(nullptr); }
	CaptureLines(const CaptureLines &) = delete;
	CaptureLines &operator=(const CaptureLines &) = delete;

	static int count(const std::string &line)
	{
		std::lock_guard<std::mutex> lock(state().mutex);
		return static_cast<int>(std::count(state().lines.begin(), state().lines.end(), line));
	}

private:
	struct State {
		std::mutex mutex;
		std::vector<std::string> lines;
	};
	static State &state()
	{
		static State instance;
		return instance;
	}
	static void reset()
	{
		std::lock_guard<std::mutex> lock(state().mutex);
		state().lines.clear();
	}
	static void add(const char *line)
	{
		std::lock_guard<std::mutex> lock(state().mutex);
		state().lines.emplace_back(line);
	}
};

inline KeyRecord test_key(std::uint32_t scancode, std::uint32_t vk, bool down)
{
	KeyRecord record;
	record.scancode = scancode;
	record.vk = vk;
	record.down = down;
	return record;
}

} // namespace clackery
