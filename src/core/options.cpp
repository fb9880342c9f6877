#include "core/options.h"

#include "capture/hook_thread.h"
#include "capture/ring.h"
#include "common/ids.h"
#include "common/obs_util.h"
#include "core/catalogues.h"
#include "core/data_files.h"
#include "core/hotkeys.h"
#include "core/keys_text.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "core/state_object.h"
#include "core/text_relay.h"
#include "layouts/text_layout.h"
#include "sounds/sound_packs.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace clackery {
namespace {

std::string setting(const Core &core, const char *key)
{
	return obs_data_get_string(core.settings.data, key);
}

std::int32_t setting_int(const Core &core, const char *key)
{
	return static_cast<std::int32_t>(obs_data_get_int(core.settings.data, key));
}

std::int32_t within_or_zero(std::int32_t value, std::int32_t low, std::int32_t high)
{
	return value >= low && value <= high ? value : 0;
}

std::string direction_or_skin(const std::string &direction)
{
	return direction == "up" || direction == "down" ? direction : "skin";
}

// Values that are corrected, never refused.
OverlayOptions normalised(OverlayOptions options)
{
	options.text_lines = within_or_zero(options.text_lines, 1, 20);
	options.text_font_size = within_or_zero(options.text_font_size, 8, 96);
	options.text_width = within_or_zero(options.text_width, 50, 150);
	options.text_direction = direction_or_skin(options.text_direction);
	options.text_font = sanitize_font_name(options.text_font);
	options.sound_pack = resolve_sound_pack(options.sound_pack);
	return options;
}

bool acceptable(const Core &core, const OverlayOptions &options, const std::string &source, const std::string &color)
{
	return core.running && (source == "dock" || source == "keys") && (color == "dark" || color == "white") &&
	       (options.mode == "keyboard" || options.mode == "text" || options.mode == "both") &&
	       is_valid_id(options.shortcuts) && is_valid_id(options.layout) && is_valid_id(options.skin) &&
	       options.sound_volume >= 0 && options.sound_volume <= 100;
}

// heatmap and mask are not options the streamer can change in this version.
bool same_options(const OverlayOptions &a, const OverlayOptions &b)
{
	return a.mode == b.mode && a.layout == b.layout && a.skin == b.skin && a.shortcuts == b.shortcuts &&
	       a.speed == b.speed && a.sound == b.sound && a.kana == b.kana && a.mouse == b.mouse &&
	       a.sound_volume == b.sound_volume && a.sound_pack == b.sound_pack && a.text_font == b.text_font &&
	       a.text_lines == b.text_lines && a.text_font_size == b.text_font_size && a.text_width == b.text_width &&
	       a.text_direction == b.text_direction;
}

bool contains(const std::vector<std::string> &ids, const std::string &id)
{
	return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void write_settings(Core &core, const OverlayOptions &options, const std::string &source, const std::string &color)
{
	obs_data_t *data = core.settings.data;
	obs_data_set_string(data, "mode", options.mode.c_str());
	obs_data_set_string(data, "layout", options.layout.c_str());
	obs_data_set_string(data, "skin", options.skin.c_str());
	obs_data_set_string(data, "shortcuts", options.shortcuts.c_str());
	obs_data_set_bool(data, "speed", options.speed);
	obs_data_set_bool(data, "sound", options.sound);
	obs_data_set_bool(data, "kana", options.kana);
	obs_data_set_bool(data, "mouse", options.mouse);
	obs_data_set_int(data, "sound_volume", options.sound_volume);
	obs_data_set_string(data, "sound_pack", options.sound_pack.c_str());
	obs_data_set_string(data, "text_source", source.c_str());
	obs_data_set_string(data, "text_color", color.c_str());
	obs_data_set_string(data, "text_font", options.text_font.c_str());
	obs_data_set_int(data, "text_lines", options.text_lines);
	obs_data_set_int(data, "text_font_size", options.text_font_size);
	obs_data_set_int(data, "text_width", options.text_width);
	obs_data_set_string(data, "text_direction", options.text_direction.c_str());
}

// A request number counts only when it is finite, whole and within the range; else 0.
std::int32_t request_number_or_zero(obs_data_t *request, const char *key, double low, double high)
{
	if (!has_typed_value(request, key, OBS_DATA_NUMBER))
		return 0;
	const double value = obs_data_get_double(request, key);
	if (!std::isfinite(value) || std::trunc(value) != value || value < low || value > high)
		return 0;
	return static_cast<std::int32_t>(value);
}

bool has_item(obs_data_t *data, const char *key)
{
	return DataItem(obs_data_item_byname(data, key)) != nullptr;
}

} // namespace

bool apply_options(Core &core, const OverlayOptions &requested, const std::string &source, const std::string &color)
{
	const OverlayOptions options = normalised(requested);
	if (!acceptable(core, options, source, color))
		return false;

	const OverlayOptions current = current_options(core);
	const std::string current_source = setting(core, "text_source");
	if (same_options(options, current) && source == current_source && color == setting(core, "text_color"))
		return true;

	const bool layout_changed = options.layout != current.layout;
	const bool source_changed = source != current_source;
	std::vector<LayoutEntry> layout;
	if (layout_changed) {
		layout = load_layout(options.layout);
		if (layout.empty())
			return false;
	}
	if (options.skin != current.skin && !contains(list_skins(), options.skin))
		return false;
	if (options.shortcuts != current.shortcuts && !contains(list_shortcut_sheets(), options.shortcuts))
		return false;

	if (layout_changed)
		close_capture_and_forget_keys(core);
	write_settings(core, options, source, color);
	if (options.mouse != current.mouse) {
		// Buttons held while it changes would otherwise stay lit or be released unseen.
		core.held_buttons = {};
		set_mouse_capture(key_ring(), options.mouse);
	}
	if (layout_changed)
		install_text_layout(std::move(layout));
	if (source_changed || layout_changed)
		clear_keys_text(core.keys_text);
	if (layout_changed)
		reopen_capture(core);

	save_settings_and_hotkeys(core);
	publish_state(core, true);
	if (core.running && !core.runtime.paused && (source_changed || layout_changed))
		send_text_frame(core, current_text_frame(core));
	return true;
}

void apply_text_source_and_color(Core &core, const std::string &text_source, const std::string &text_color)
{
	apply_options(core, current_options(core), text_source, text_color);
}

void apply_dock_options(Core &core, const OverlayOptions &options)
{
	// The volume is set in the host's audio mixer, not in the dock.
	OverlayOptions copy = options;
	copy.sound_volume = setting_int(core, "sound_volume");
	apply_options(core, copy, setting(core, "text_source"), setting(core, "text_color"));
}

std::string next_mode(const std::string &mode)
{
	if (mode == "keyboard")
		return "text";
	if (mode == "text")
		return "both";
	return "keyboard";
}

void cycle_mode(Core &core)
{
	if (!core.running)
		return;
	OverlayOptions options = current_options(core);
	options.mode = next_mode(options.mode);
	apply_dock_options(core, options);
}

void merge_text_options(obs_data_t *request, OverlayOptions &options)
{
	if (has_item(request, "textFont"))
		options.text_font = has_typed_value(request, "textFont", OBS_DATA_STRING)
					? obs_data_get_string(request, "textFont")
					: "";
	if (has_item(request, "textLines"))
		options.text_lines = request_number_or_zero(request, "textLines", 1, 20);
	if (has_item(request, "textFontSize"))
		options.text_font_size = request_number_or_zero(request, "textFontSize", 8, 96);
	if (has_item(request, "textWidth"))
		options.text_width = request_number_or_zero(request, "textWidth", 50, 150);
	if (has_item(request, "textDirection"))
		options.text_direction = direction_or_skin(has_typed_value(request, "textDirection", OBS_DATA_STRING)
							       ? obs_data_get_string(request, "textDirection")
							       : "");
}

} // namespace clackery
