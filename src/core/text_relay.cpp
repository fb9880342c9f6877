#include "core/text_relay.h"

#include "core/dock_access.h"
#include "core/key_events.h"
#include "core/module_state.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "core/totals.h"
#include "delivery/emit.h"

#include <obs.hpp>

#include <string>

namespace clackery {
namespace {

bool dock_text_active = false;

bool keys_source()
{
	return std::string(obs_data_get_string(settings(), "text_source")) == "keys";
}

bool masked()
{
	return obs_data_get_bool(settings(), "mask");
}

} // namespace

void on_dock_text(const TextFrame &frame)
{
	relay_dock_text(frame, dock_has_text());
}

void relay_dock_text(const TextFrame &frame, bool dock_holds_text)
{
	if (!is_running())
		return;
	const bool was_active = dock_text_active;
	if (dock_holds_text) {
		clear_keys_text();
		dock_text_active = true;
		send_text_frame(frame);
	} else if (was_active || frame.op == "clear") {
		// The field has just become empty, or was cleared: the page must see it empty.
		clear_keys_text();
		dock_text_active = false;
		send_text_frame(frame);
	} else {
		dock_text_active = false;
		if (!keys_source())
			send_text_frame(frame);
	}
}

void send_text_frame(const TextFrame &frame)
{
	if (!is_running())
		return;
	DeliveryCounters &counters = delivery_counters();
	if (runtime_state().paused) {
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

TextFrame current_text_frame()
{
	if (!dock_exists() || (!dock_has_text() && keys_source()))
		return keys_text_frame(masked());
	return dock_current_frame();
}

} // namespace clackery
