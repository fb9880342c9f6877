#include "capture/elevation.h"

#include <atomic>

namespace clackery {

IntegrityProbe &system_integrity_probe();

namespace {

std::atomic<IntegrityProbe *> test_probe{nullptr};

} // namespace

bool foreground_is_elevated(const IntegrityReading &own, const IntegrityReading &foreground)
{
	if (!own.known)
		return false;
	if (foreground.denied)
		return own.level < INTEGRITY_SYSTEM;
	return foreground.known && foreground.level > own.level;
}

IntegrityProbe &integrity_probe()
{
	IntegrityProbe *probe = test_probe.load(std::memory_order_acquire);
	return probe ? *probe : system_integrity_probe();
}

void set_integrity_probe(IntegrityProbe *probe)
{
	test_probe.store(probe, std::memory_order_release);
}

#ifndef _WIN32
// No integrity levels here: nothing is hidden from capture for that reason.
IntegrityProbe &system_integrity_probe()
{
	struct NoIntegrity : IntegrityProbe {
		IntegrityReading own_process() override { return {}; }
		IntegrityReading foreground_process() override { return {}; }
	};
	static NoIntegrity probe;
	return probe;
}
#endif

} // namespace clackery
