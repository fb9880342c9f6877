#include "core/runtime_state.h"

#include "capture/ring.h"
#include "core/dock_host.h"
#include "core/privacy.h"
#include "core/state_object.h"
#include "core/text_relay.h"
#include "delivery/emit.h"

namespace clackery {

void set_paused(Core &core, bool value)
{
	RuntimeState &state = core.runtime;
	if (!core.running || value == state.paused)
		return;
	state.paused = value;
	// Keys held across the change are forgotten; records queued before it are discarded.
	close_capture_and_forget_keys(core);
	// Resuming is the streamer's word that the screen is theirs again.
	if (!state.paused)
		forget_screen_lock(core);
	if (!state.paused && state.auto_hidden) {
		state.hidden = false;
		state.auto_hidden = false;
	}
	reopen_capture(core);
	publish_state(core, true);
	if (!state.paused)
		send_text_frame(core, current_text_frame(core));
}

void toggle_paused(Core &core)
{
	set_paused(core, !core.runtime.paused);
}

void toggle_hidden(Core &core)
{
	if (!core.running)
		return;
	RuntimeState &state = core.runtime;
	state.auto_hidden = false;
	state.hidden = !state.hidden;
	publish_state(core, true);
}

void publish_state(Core &core, bool bump)
{
	if (bump)
		++core.runtime.rev;
	show_state_on_dock(core);
	OBSDataAutoRelease object = build_state(core);
	emit_overlay_event("state", object, bump);
}

void close_capture_and_forget_keys(Core &core)
{
	bump_generation(key_ring(), false);
	core.held_keys.clear();
	core.held_buttons = {};
	forget_privacy_keys(core);
}

void reopen_capture(const Core &core)
{
	bump_generation(key_ring(), !core.runtime.paused);
}

} // namespace clackery
