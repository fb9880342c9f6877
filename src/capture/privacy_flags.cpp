#include "capture/privacy_watch.h"

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
