#include "core/text_relay.h"

#include "core/dock_host.h"
#include "core/keys_text.h"
#include "delivery/emit.h"

#include <obs.hpp>

#include <string>

namespace clackery {
namespace {

bool keys_source(const Core &core)
{
	return std::string(obs_data_get_string(core.settings.data, "text_source")) == "keys";
}

bool masked(const Core &core)
{
	return obs_data_get_bool(core.settings.data, "mask");
}

} // namespace

void on_dock_text(Core &core, const TextFrame &frame)
{
	relay_dock_text(core, frame, dock_has_text(core));
}

void relay_dock_text(Core &core, const TextFrame &frame, bool dock_holds_text)
{
	if (!core.running)
		return;
	const bool was_active = core.dock_text_active;
	if (dock_holds_text) {
		clear_keys_text(core.keys_text);
		core.dock_text_active = true;
		send_text_frame(core, frame);
	} else if (was_active || frame.op == "clear") {
		// The field has just become empty, or was cleared: the page must see it empty.
		clear_keys_text(core.keys_text);
		core.dock_text_active = false;
		send_text_frame(core, frame);
	} else {
		core.dock_text_active = false;
		if (!keys_source(core))
			send_text_frame(core, frame);
	}
}

void send_text_frame(Core &core, const TextFrame &frame)
{
	if (!core.running)
		return;
	DeliveryCounters &counters = core.totals;
	if (core.runtime.paused) {
		++counters.text_paused;
		return;
	}
	OBSDataAutoRelease payload = obs_data_create();
	obs_data_set_string(payload, "op", frame.op.c_str());
	obs_data_set_string(payload, "preedit", frame.preedit.c_str());
	obs_data_set_string(payload, "committed", frame.committed.c_str());
	obs_data_set_string(payload, "text", frame.text.c_str());
	obs_data_set_int(payload, "cursor", frame.cursor);
	obs_data_set_int(payload, "caret", frame.caret);
	if (emit_overlay_event("text", payload, true))
		++counters.text_sent;
}

TextFrame current_text_frame(const Core &core)
{
	if (!core.dock || (!dock_has_text(core) && keys_source(core)))
		return keys_text_frame(core.keys_text, masked(core));
	return dock_current_frame(core);
}

} // namespace clackery
