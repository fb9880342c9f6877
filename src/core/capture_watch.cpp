#include "core/capture_watch.h"

#include "capture/capture_health.h"
#include "capture/ring.h"
#include "common/clock.h"
#include "core/capture_report.h"
#include "core/key_events.h"
#include "core/privacy.h"
#include "core/runtime_state.h"

namespace clackery {

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
		// No release will come for keys held when the session left (Ctrl after Win+L). Through
		// the privacy gate: a key pressed in a password field is let go concealed.
		for (const KeyEvent &event : release_all_held_keys(core.held_keys, wall_clock_ms()))
			pass_key_event(core, event, tick_count_ms());
	}
	// Back from an absence: keys pressed since are probed at this tick, not 250 ms later.
	if (back)
		core.next_sweep = 0;
	if (changed)
		publish_state(core, true);
}

} // namespace clackery
