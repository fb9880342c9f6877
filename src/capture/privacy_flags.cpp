#include "capture/privacy_watch.h"

#include <algorithm>

namespace clackery {

PrivacySnapshot read_privacy(const PrivacyFlags &flags)
{
	PrivacySnapshot snapshot;
	snapshot.focus_serial = flags.focus_serial.load(std::memory_order_acquire);
	snapshot.password_field = flags.password_field.load(std::memory_order_acquire);
	snapshot.focus_known = flags.focus_known.load(std::memory_order_acquire);
	snapshot.screen_locked = flags.screen_locked.load(std::memory_order_acquire);
	snapshot.detector = flags.detector.load(std::memory_order_acquire);
	return snapshot;
}

void record_focus_change(PrivacyFlags &flags, bool password, bool known, double t)
{
	{
		std::lock_guard<std::mutex> lock(flags.history.mutex);
		flags.history.changes[flags.history.count % FocusHistory::kKept] = FocusChange{t, password, known};
		++flags.history.count;
	}
	flags.password_field.store(password, std::memory_order_release);
	flags.focus_known.store(known, std::memory_order_release);
	flags.focus_serial.fetch_add(1, std::memory_order_acq_rel);
}

std::vector<FocusChange> read_focus_history(const PrivacyFlags &flags)
{
	std::lock_guard<std::mutex> lock(flags.history.mutex);
	const std::size_t kept = std::min(flags.history.count, FocusHistory::kKept);
	std::vector<FocusChange> out;
	out.reserve(kept);
	for (std::size_t i = flags.history.count - kept; i < flags.history.count; ++i)
		out.push_back(flags.history.changes[i % FocusHistory::kKept]);
	return out;
}

const char *privacy_detector_name(PrivacyDetector detector)
{
	switch (detector) {
	case PrivacyDetector::starting:
		return "starting";
	case PrivacyDetector::none:
		return "none";
	case PrivacyDetector::atspi:
		return "atspi";
	case PrivacyDetector::winevent:
		return "winevent";
	}
	return "none";
}

} // namespace clackery
