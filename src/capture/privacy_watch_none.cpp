// Platforms without a way to learn the focused control or the screen lock: the flags stay
// down, and the log says so once.

#include "capture/capture_log.h"
#include "capture/privacy_watch.h"

namespace clackery {
namespace {

class NoPrivacyWatch : public PrivacyWatch {
public:
	NoPrivacyWatch()
	{
		flags_.detector.store(PrivacyDetector::none, std::memory_order_release);
		capture_warning("privacy: password fields and the screen lock are not recognised on this system");
	}
	const PrivacyFlags &flags() const override { return flags_; }
	void recheck_lock() override {}
	void forget_lock() override {}

private:
	PrivacyFlags flags_;
};

} // namespace

std::unique_ptr<PrivacyWatch> start_privacy_watch()
{
	return std::make_unique<NoPrivacyWatch>();
}

} // namespace clackery
