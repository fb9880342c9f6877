// Requests about keys, counters, options, hotkeys and the overlay source.

#include "common/obs_util.h"
#include "delivery/request_handlers.h"
#include "delivery/request_reading.h"

#include <cmath>

namespace clackery {
namespace {

const char *setting(RequestServices &services, const char *key)
{
	return obs_data_get_string(services.settings(), key);
}

// Text source and colour: the request's when given (they must be strings), else the settings'.
bool read_text_source_and_color(RequestServices &services, obs_data_t *request, std::string &source, std::string &color)
{
	source = setting(services, "text_source");
	color = setting(services, "text_color");
	return read_string(request, "textSource", source, false) && read_string(request, "textColor", color, false);
}

// Keys that are checked for their type but not applied: the module does not let these change.
bool validate_unapplied_flags(obs_data_t *request, std::initializer_list<const char *> keys)
{
	bool ignored = false;
	for (const char *key : keys) {
		if (!read_bool(request, key, ignored, false))
			return false;
	}
	return true;
}

// "soundVolume": finite, whole and within 0..100.
bool read_volume(obs_data_t *request, std::int32_t &out)
{
	if (!has_key(request, "soundVolume"))
		return true;
	if (!has_typed_value(request, "soundVolume", OBS_DATA_NUMBER))
		return false;
	const double value = obs_data_get_double(request, "soundVolume");
	if (!std::isfinite(value) || std::trunc(value) != value || value < 0 || value > 100)
		return false;
	out = static_cast<std::int32_t>(value);
	return true;
}

} // namespace

void get_state(RequestServices &services, obs_data_t *, obs_data_t *response)
{
	const OBSDataAutoRelease state = services.build_state();
	if (state)
		obs_data_apply(response, state);
}

// "event": "hook_lost" (with "error", the failure its reinstall meets, 0 when absent), "away",
// "back", "elevated" or "not_elevated"; "accepted" when posted to the capture thread.
void capture_event(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	static const std::pair<const char *, CaptureTestKind> kinds[] = {
	    {"hook_lost", CaptureTestKind::hook_lost},
	    {"away", CaptureTestKind::away},
	    {"back", CaptureTestKind::back},
	    {"elevated", CaptureTestKind::elevated},
	    {"not_elevated", CaptureTestKind::not_elevated},
	};
	std::string event;
	std::int64_t error = 0;
	bool accepted = false;
	if (read_string(request, "event", event, true) && read_unsigned(request, "error", error, 0xFFFFFFFFu, false)) {
		for (const auto &[name, kind] : kinds) {
			if (event == name) {
				accepted = services.capture_event(kind, static_cast<std::uint32_t>(error));
				break;
			}
		}
	}
	obs_data_set_bool(response, "accepted", accepted);
}

void push_test_key(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	std::int64_t scancode = 0;
	std::int64_t vk = 0;
	TestKey key;
	const bool valid =
	    read_unsigned(request, "scancode", scancode, 255, true) && read_unsigned(request, "vk", vk, 255, true) &&
	    read_bool(request, "extended", key.extended, true) && read_bool(request, "down", key.down, true);
	key.scancode = static_cast<std::uint32_t>(scancode);
	key.vk = static_cast<std::uint32_t>(vk);
	obs_data_set_bool(response, "queued", valid && services.post_test_key(key));
}

void report_counters(RequestServices &services, obs_data_t *, obs_data_t *response)
{
	const RequestCounters counters = services.counters();
	const std::pair<const char *, std::uint64_t> rows[] = {
	    {"sent", counters.sent},           {"queued", counters.queued},           {"dropped", counters.dropped},
	    {"paused", counters.paused},       {"unknown", counters.unknown},         {"repeated", counters.repeated},
	    {"text_sent", counters.text_sent}, {"text_paused", counters.text_paused}, {"heatmap_resets", 0},
	};
	for (const auto &[key, value] : rows)
		obs_data_set_int(response, key, static_cast<long long>(value));
}

// The setting cannot be changed from outside in this version; the request only reports it.
void report_run_on_start(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	bool enabled = false;
	if (!read_bool(request, "enabled", enabled, true))
		return;
	obs_data_set_bool(response, "run_on_start", obs_data_get_bool(services.settings(), "run_on_start"));
}

void set_mode(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	std::string mode;
	if (!read_string(request, "mode", mode, true) || (mode != "keyboard" && mode != "text" && mode != "both"))
		return;
	OverlayOptions options = services.current_options();
	options.mode = mode;
	services.apply_dock_options(options);
	obs_data_set_string(response, "mode", setting(services, "mode"));
}

void set_text_options(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	std::string source;
	std::string color;
	const bool valid = read_text_source_and_color(services, request, source, color) &&
			   validate_unapplied_flags(request, {"textScroll", "mask"}) &&
			   (source == "dock" || source == "keys");
	if (!valid) {
		obs_data_set_bool(response, "accepted", false);
		return;
	}
	OverlayOptions options = services.current_options();
	services.merge_text_options(request, options);
	obs_data_set_bool(response, "accepted", services.apply_options(options, source, color));
}

void set_overlay_options(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	OverlayOptions options = services.current_options();
	std::string source;
	std::string color;
	const bool valid =
	    read_string(request, "mode", options.mode, false) &&
	    read_string(request, "layout", options.layout, false) &&
	    read_string(request, "skin", options.skin, false) &&
	    read_string(request, "shortcuts", options.shortcuts, false) &&
	    read_string(request, "soundPack", options.sound_pack, false) &&
	    read_bool(request, "speed", options.speed, false) && read_bool(request, "sound", options.sound, false) &&
	    read_bool(request, "kana", options.kana, false) && read_bool(request, "mouse", options.mouse, false) &&
	    read_volume(request, options.sound_volume) &&
	    validate_unapplied_flags(request, {"heatmap", "mask", "textScroll", "run_on_start"}) &&
	    read_text_source_and_color(services, request, source, color);
	if (!valid) {
		obs_data_set_bool(response, "accepted", false);
		return;
	}
	services.merge_text_options(request, options);
	obs_data_set_bool(response, "accepted", services.apply_options(options, source, color));
}

void set_hotkeys(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	obs_data_set_bool(response, "accepted", services.set_hotkey_bindings(request));
}

void add_overlay(RequestServices &services, obs_data_t *, obs_data_t *response)
{
	const OverlayPlacement placement = services.add_overlay();
	obs_data_set_bool(response, "accepted", placement.ok);
	obs_data_set_bool(response, "created", placement.created);
	obs_data_set_bool(response, "existing", placement.existing);
	if (placement.ok)
		obs_data_set_string(response, "sourceName", placement.source_name.c_str());
}

void accept_stream_started(RequestServices &, obs_data_t *, obs_data_t *response)
{
	obs_data_set_bool(response, "accepted", true);
}

} // namespace clackery
