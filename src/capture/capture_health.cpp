#include "capture/capture_health.h"

#include "capture/os_input.h"

namespace clackery {

CaptureHealth read_capture_health(const KeyRing &ring, double now_ms)
{
	const HookControl &control = ring.hook;
	const CaptureHealthState &health = control.health;
	CaptureHealth out;
	out.reinstalls = health.reinstalls.load(std::memory_order_acquire);
	out.away = health.away.load(std::memory_order_acquire);
	out.elevated_foreground = health.elevated_foreground.load(std::memory_order_acquire);
	const double last = health.last_key_ms.load(std::memory_order_acquire);
	if (last > 0)
		out.last_key_age_ms = now_ms > last ? now_ms - last : 0.0;
	const bool running = control.hook_running.load(std::memory_order_acquire);
	if (!running || health.reinstall_failed.load(std::memory_order_acquire)) {
		out.status = CaptureStatus::failed;
		out.error = control.last_error.load(std::memory_order_acquire);
		return out;
	}
	const std::uint64_t word = ring.capture_word.load(std::memory_order_acquire);
	out.status = out.away != 0 || (word & CAPTURE_ACTIVE_BIT) == 0 ? CaptureStatus::paused : CaptureStatus::active;
	out.error = os::key_state_error();
	return out;
}

const char *capture_status_name(CaptureStatus status)
{
	switch (status) {
	case CaptureStatus::paused:
		return "paused";
	case CaptureStatus::failed:
		return "failed";
	case CaptureStatus::active:
		break;
	}
	return "active";
}

std::uint64_t capture_absences(const KeyRing &ring)
{
	return ring.hook.health.absences.load(std::memory_order_acquire);
}

bool capture_away(const KeyRing &ring)
{
	return ring.hook.health.away.load(std::memory_order_acquire) != 0;
}

} // namespace clackery
