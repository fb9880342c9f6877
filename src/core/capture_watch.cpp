#include "core/capture_watch.h"

#include "capture/capture_health.h"
#include "capture/ring.h"
#include "common/clock.h"
#include "core/key_events.h"
#include "core/runtime_state.h"

namespace clackery {

CaptureReport read_capture_report()
{
	const CaptureHealth health = read_capture_health(key_ring(), wall_clock_ms());
	CaptureReport report;
	report.status = capture_status_name(health.status);
	report.error = health.error;
	report.reinstalls = health.reinstalls;
	report.has_last_key = health.last_key_age_ms.has_value();
	report.last_key_age_ms = health.last_key_age_ms.value_or(0);
	report.elevated_foreground = health.elevated_foreground;
	report.away = health.away != 0;
	return report;
}

OBSDataAutoRelease capture_state_object(const CaptureReport &report)
{
	OBSDataAutoRelease out = obs_data_create();
	obs_data_set_string(out, "status", report.status.c_str());
	obs_data_set_int(out, "error", static_cast<long long>(report.error));
	obs_data_set_int(out, "reinstalls", static_cast<long long>(report.reinstalls));
	if (report.has_last_key)
		obs_data_set_double(out, "lastKeyAgeMs", report.last_key_age_ms);
	obs_data_set_bool(out, "elevatedForeground", report.elevated_foreground);
	return out;
}

void follow_capture(Core &core, std::uint64_t absences)
{
	CaptureWatch &watch = core.capture_watch;
	const CaptureReport report = read_capture_report();
	const bool failed = report.status == "failed";
	const bool changed = failed != watch.failed || report.error != watch.error ||
			     report.reinstalls != watch.reinstalls || report.elevated_foreground != watch.elevated ||
			     report.away != watch.away;
	const bool back = watch.away && !report.away;
	const bool new_absence = absences != watch.absences;
	const bool primed = watch.primed;
	watch = CaptureWatch{
	    true, absences, report.away, failed, report.error, report.reinstalls, report.elevated_foreground};
	// The first tick only takes note: the load has just published the state.
	if (!primed)
		return;
	if (new_absence) {
		// No release will come for keys held when the session left (Ctrl after Win+L).
		for (const KeyEvent &event : release_all_held_keys(core.held_keys, wall_clock_ms()))
			emit_key_event(core, event);
	}
	// Back from an absence: keys pressed since are probed at this tick, not 250 ms later.
	if (back)
		core.next_sweep = 0;
	if (changed)
		publish_state(core, true);
}

} // namespace clackery
