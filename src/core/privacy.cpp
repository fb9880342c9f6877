#include "core/privacy.h"

#include "capture/privacy_gate.h"
#include "common/clock.h"
#include "core/keys_state.h"
#include "core/runtime_state.h"

#include <memory>
#include <vector>

namespace clackery {
namespace {

std::unique_ptr<PrivacyWatch> watch;
PrivacyGate gate;
PrivacyView view;      // the watcher's word as of the last refresh
PrivacySnapshot shown; // as last published

const PrivacyView &refreshed()
{
	if (watch)
		refresh_privacy_view(view, watch->flags());
	return view;
}

void emit_all(const std::vector<GatedKey> &keys)
{
	for (const GatedKey &key : keys)
		emit_key_event(key.event, key.conceal);
}

bool differs_for_the_state(const PrivacySnapshot &a, const PrivacySnapshot &b)
{
	return a.password_field != b.password_field || a.screen_locked != b.screen_locked || a.detector != b.detector;
}

} // namespace

void start_privacy_watcher()
{
	gate = PrivacyGate{};
	view = PrivacyView{};
	watch = start_privacy_watch();
	shown = refreshed().now;
}

void stop_privacy_watcher()
{
	watch.reset();
	gate = PrivacyGate{};
	view = PrivacyView{};
	shown = PrivacySnapshot{};
}

void follow_privacy(std::uint64_t now_ms)
{
	const PrivacySnapshot now = refreshed().now;
	if (now.screen_locked && !gate.locked) {
		emit_all(lock_gate(gate, held_keys(), wall_clock_ms()));
	} else if (!now.screen_locked && gate.locked) {
		unlock_gate(gate);
	}
	std::vector<GatedKey> settled;
	settle_gate(gate, view, now_ms, settled);
	emit_all(settled);
	if (differs_for_the_state(now, shown)) {
		shown = now;
		publish_state(true);
	}
}

bool privacy_drops_keys()
{
	if (!gate.locked)
		return false;
	// A locker's lost signal must not hide the keys for good: keys ask it again.
	if (watch)
		watch->recheck_lock();
	return true;
}

void pass_key_event(const KeyEvent &event, std::uint64_t now_ms)
{
	std::vector<GatedKey> out;
	gate_key(gate, event, refreshed(), now_ms, out);
	emit_all(out);
}

void forget_privacy_keys()
{
	const bool locked = gate.locked;
	clear_gate(gate);
	gate.locked = locked;
}

void forget_screen_lock()
{
	if (watch)
		watch->forget_lock();
	unlock_gate(gate);
}

OBSDataAutoRelease privacy_state_object()
{
	const PrivacySnapshot now = shown;
	OBSDataAutoRelease object = obs_data_create();
	obs_data_set_bool(object, "passwordField", now.password_field);
	obs_data_set_bool(object, "screenLocked", now.screen_locked);
	obs_data_set_string(object, "detector", privacy_detector_name(now.detector));
	return object;
}

bool masking_password_field()
{
	return shown.password_field && !runtime_state().paused;
}

bool password_fields_unwatched()
{
	return shown.detector == PrivacyDetector::none;
}

} // namespace clackery
