#include "core/key_events.h"

#include "core/dock_host.h"
#include "core/keys_text.h"
#include "core/text_relay.h"
#include "delivery/emit.h"
#include "layouts/text_layout.h"

#include <obs.hpp>

#include <string>

namespace clackery {
namespace {

void set_mods(obs_data_t *payload, const Modifiers &held)
{
	OBSDataAutoRelease mods = obs_data_create();
	obs_data_set_bool(mods, "ctrl", held.ctrl);
	obs_data_set_bool(mods, "shift", held.shift);
	obs_data_set_bool(mods, "alt", held.alt);
	obs_data_set_bool(mods, "win", held.win);
	obs_data_set_obj(payload, "mods", mods);
}

OBSDataAutoRelease key_payload(const KeyEvent &event)
{
	OBSDataAutoRelease payload = obs_data_create();
	obs_data_set_string(payload, "code", event.code);
	obs_data_set_bool(payload, "down", event.down);
	obs_data_set_double(payload, "t", event.t);
	set_mods(payload, event.mods);
	return payload;
}

// {"button", "down", "t", "mods"} or {"dx", "dy", "t", "mods"}.
OBSDataAutoRelease mouse_payload(const MouseEvent &event)
{
	OBSDataAutoRelease payload = obs_data_create();
	if (event.kind == RecordKind::button) {
		obs_data_set_int(payload, "button", event.button);
		obs_data_set_bool(payload, "down", event.down);
	} else {
		obs_data_set_int(payload, "dx", event.dx);
		obs_data_set_int(payload, "dy", event.dy);
	}
	obs_data_set_double(payload, "t", event.t);
	set_mods(payload, event.mods);
	return payload;
}

bool capturing(const Core &core)
{
	return core.running && !core.runtime.paused;
}

} // namespace

void emit_mouse_event(Core &core, const MouseEvent &event)
{
	if (!capturing(core))
		return;
	const bool mask = obs_data_get_bool(core.settings.data, "mask");
	OBSDataAutoRelease payload = mouse_payload(mask ? masked(event) : event);
	if (emit_overlay_event(event.kind == RecordKind::button ? "mouse" : "wheel", payload, true))
		++core.totals.sent;
}

void emit_key_event(Core &core, const KeyEvent &event, bool conceal)
{
	if (!capturing(core))
		return;
	obs_data_t *settings = core.settings.data;
	const bool mask = obs_data_get_bool(settings, "mask");
	OBSDataAutoRelease payload = key_payload(mask || conceal ? masked(event) : event);
	if (emit_overlay_event("key", payload, true))
		++core.totals.sent;

	// Sending may have run anything on this thread; look again before typing.
	if (!capturing(core))
		return;
	KeyTypingContext context;
	context.keys_mode = std::string(obs_data_get_string(core.settings.data, "text_source")) == "keys";
	context.dock_has_text = dock_has_text(core);
	context.mask = mask;
	context.layout = &text_layout();
	context.conceal = conceal;
	if (const auto frame = type_from_key(core.keys_text, event, context))
		send_text_frame(core, *frame);
}

} // namespace clackery
