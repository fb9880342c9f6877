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

bool capturing(const Core &core)
{
	return core.running && !core.runtime.paused;
}

} // namespace

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
