#pragma once
// Pairs the key transitions the system hook reported with those a second, independent source (the
// witness) reported. A witness transition that the hook has not matched within a short window,
// while the hook reported nothing after it, means the hook is gone: the system drops a low-level
// hook without notice. Runs on the hook thread, outside the hook procedure.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace clackery {

struct SeenKey {
	std::uint32_t scancode = 0; // 0 when the source has none
	std::uint32_t vk = 0;       // sided or not: compared without the side
	bool extended = false;
	bool down = false;
	bool injected = false;
	double t = 0; // wall clock of the sighting, ms since 1970
};

// How long the hook may lag its witness before the witness's keys count as missed.
constexpr double WITNESS_WINDOW_MS = 250;
// Waiting keys beyond this are overdue at once (a burst the hook did not see).
constexpr std::size_t WITNESS_PENDING_LIMIT = 4096;

// The generic virtual key of a sided one (left and right Shift, Ctrl, Alt), else the key itself.
std::uint32_t unsided_vk(std::uint32_t vk);

// Whether two sightings are the same transition: same direction and generic key, and the same
// scan code when both have one. The extended flag is not compared: the sources disagree on it for
// NumLock and Pause.
bool same_transition(const SeenKey &a, const SeenKey &b);

enum class WitnessVerdict {
	waiting,   // nothing overdue (or nothing waits)
	hook_gone, // overdue, and the hook reported nothing since: reinstall and deliver the keys
	skipped,   // overdue, but the hook reported later keys: it lives and passed these by
};

class WitnessMatcher {
public:
	// `now` is a monotonic clock in ms, the same for every call.
	void hook_saw(const SeenKey &key, double now);
	void witness_saw(const SeenKey &key, double now);

	// When the oldest unmatched witness key becomes overdue; empty when none waits.
	std::optional<double> deadline() const;
	WitnessVerdict verdict(double now) const;

	// The unmatched witness keys, oldest first; everything is forgotten.
	std::vector<SeenKey> take_unmatched();
	void forget();
	std::size_t unmatched() const { return witness_.size(); }

private:
	struct Entry {
		SeenKey key;
		double at = 0;
	};
	void expire_hook_entries(double now);

	std::deque<Entry> hook_;    // hook sightings the witness has not matched yet
	std::deque<Entry> witness_; // witness sightings the hook has not matched yet
	double last_hook_at_ = -1;  // when the hook last reported anything
};

} // namespace clackery
