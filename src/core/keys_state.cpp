#include "core/keys_state.h"

#include "capture/keys_text.h"
#include "core/dock_access.h"
#include "core/module_state.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "core/text_relay.h"
#include "core/totals.h"
#include "delivery/emit.h"
#include "layouts/text_layout.h"

#include <obs.hpp>

#include <string>

namespace clackery {
namespace {

KeysText keys_text;

OBSDataAutoRelease key_payload(const KeyEvent &event)
{
	OBSDataAutoRelease payload = obs_data_create();
	obs_data_set_string(payload, "code", event.code);
	obs_data_set_bool(payload, "down", event.down);
	obs_data_set_double(payload, "t", event.t);
	OBSDataAutoRelease mods = obs_data_create();
	obs_data_set_bool(mods, "ctrl", event.mods.ctrl);
	obs_data_set_bool(mods, "shift", event.mods.shift);
	obs_data_set_bool(mods, "alt", event.mods.alt);
	obs_data_set_bool(mods, "win", event.mods.win);
	obs_data_set_obj(payload, "mods", mods);
	return payload;
}

bool capturing()
{
	return is_running() && !runtime_state().paused;
}

} // namespace

HeldKeys &held_keys()
{
	static HeldKeys keys;
	return keys;
}

TextFrame keys_text_frame(bool mask)
{
	return clackery::keys_text_frame(keys_text, mask);
}

void clear_keys_text()
{
	keys_text.code_points.clear();
}

void emit_key_event(const KeyEvent &event, bool conceal)
{
	if (!capturing())
		return;
	const bool mask = obs_data_get_bool(settings(), "mask");
	OBSDataAutoRelease payload = key_payload(mask || conceal ? masked(event) : event);
	if (emit_overlay_event("key", payload, true))
		++delivery_counters().sent;

	// Sending may have run anything on this thread; look again before typing.
	if (!capturing())
		return;
	KeyTypingContext context;
	context.keys_mode = std::string(obs_data_get_string(settings(), "text_source")) == "keys";
	context.dock_has_text = dock_has_text();
	context.mask = mask;
	context.layout = &text_layout();
	context.conceal = conceal;
	if (const auto frame = type_from_key(keys_text, event, context))
		send_text_frame(*frame);
}

} // namespace clackery
