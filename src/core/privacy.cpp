#include "core/privacy.h"

#include "common/clock.h"
#include "core/dock_host.h"
#include "core/key_events.h"

#include <vector>

namespace clackery {
namespace {

const PrivacyView &refreshed(Core &core)
{
	if (core.privacy.watch)
		refresh_privacy_view(core.privacy.view, core.privacy.watch->flags());
	return core.privacy.view;
}

void emit_all(Core &core, const std::vector<GatedKey> &keys)
{
	for (const GatedKey &key : keys)
		emit_key_event(core, key.event, key.conceal);
}

bool differs_for_the_state(const PrivacySnapshot &a, const PrivacySnapshot &b)
{
	return a.password_field != b.password_field || a.screen_locked != b.screen_locked || a.detector != b.detector;
}

} // namespace

void start_privacy_watcher(Core &core)
{
	core.privacy = CorePrivacy{};
	core.privacy.watch = start_privacy_watch();
	core.privacy.shown = refreshed(core).now;
}

void stop_privacy_watcher(Core &core)
{
	core.privacy = CorePrivacy{};
}

bool follow_privacy(Core &core, std::uint64_t now_ms)
{
	CorePrivacy &privacy = core.privacy;
	const PrivacySnapshot now = refreshed(core).now;
	if (now.screen_locked && !privacy.gate.locked)
		emit_all(core, lock_gate(privacy.gate, core.held_keys, wall_clock_ms()));
	else if (!now.screen_locked && privacy.gate.locked)
		unlock_gate(privacy.gate);
	std::vector<GatedKey> settled;
	settle_gate(privacy.gate, privacy.view, now_ms, settled);
	emit_all(core, settled);
	if (!differs_for_the_state(now, privacy.shown))
		return false;
	// The watcher's first word on what it can tell is no change a page or tool acts on: the dock
	// shows it at once, the next republished state carries it, and the state's numbering after
	// load stays as it was.
	const bool settling = privacy.shown.detector == PrivacyDetector::starting &&
			      now.password_field == privacy.shown.password_field &&
			      now.screen_locked == privacy.shown.screen_locked;
	privacy.shown = now;
	if (settling) {
		show_state_on_dock(core);
		return false;
	}
	return true;
}

bool privacy_drops_keys(Core &core)
{
	if (!core.privacy.gate.locked)
		return false;
	// A locker's lost signal must not hide the keys for good: keys ask it again.
	if (core.privacy.watch)
		core.privacy.watch->recheck_lock();
	return true;
}

void pass_key_event(Core &core, const KeyEvent &event, std::uint64_t now_ms)
{
	std::vector<GatedKey> out;
	gate_key(core.privacy.gate, event, refreshed(core), now_ms, out);
	emit_all(core, out);
}

void forget_privacy_keys(Core &core)
{
	PrivacyGate &gate = core.privacy.gate;
	const bool locked = gate.locked;
	clear_gate(gate);
	gate.locked = locked;
}

void forget_screen_lock(Core &core)
{
	if (core.privacy.watch)
		core.privacy.watch->forget_lock();
	unlock_gate(core.privacy.gate);
	// The state published with the resume says so; the next tick would only publish it again.
	core.privacy.shown.screen_locked = false;
}

} // namespace clackery
