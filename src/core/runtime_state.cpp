#include "core/runtime_state.h"

#include "core/capture_control.h"
#include "core/dock_access.h"
#include "core/module_state.h"
#include "core/options.h"
#include "core/privacy.h"
#include "core/settings.h"
#include "core/state_object.h"
#include "core/text_relay.h"
#include "delivery/emit.h"

namespace clackery {

RuntimeState &runtime_state()
{
	static RuntimeState state;
	return state;
}

void set_paused(bool value)
{
	RuntimeState &state = runtime_state();
	if (!is_running() || value == state.paused)
		return;
	state.paused = value;
	// Keys held across the change are forgotten; records queued before it are discarded.
	close_capture_and_forget_keys();
	// Resuming is the streamer's word that the screen is theirs again.
	if (!state.paused)
		forget_screen_lock();
	if (!state.paused && state.auto_hidden) {
		state.hidden = false;
		state.auto_hidden = false;
	}
	reopen_capture();
	publish_state(true);
	if (!state.paused)
		send_text_frame(current_text_frame());
}

void toggle_paused()
{
	set_paused(!runtime_state().paused);
}

void toggle_hidden()
{
	if (!is_running())
		return;
	RuntimeState &state = runtime_state();
	state.auto_hidden = false;
	state.hidden = !state.hidden;
	publish_state(true);
}

void publish_state(bool bump)
{
	RuntimeState &state = runtime_state();
	if (bump)
		++state.rev;
	show_state_on_dock();
	OBSDataAutoRelease object = build_state();
	emit_overlay_event("state", object, bump);
}

} // namespace clackery
