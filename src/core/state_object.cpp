#include "core/state_object.h"

#include "core/capture_report.h"
#include "core/hotkeys.h"
#include "delivery/vendor.h"
#include "sounds/sound_packs.h"

namespace clackery {
namespace {

void copy_string(obs_data_t *settings, obs_data_t *to, const char *to_key, const char *from_key)
{
	obs_data_set_string(to, to_key, obs_data_get_string(settings, from_key));
}

void copy_bool(obs_data_t *settings, obs_data_t *to, const char *to_key, const char *from_key)
{
	obs_data_set_bool(to, to_key, obs_data_get_bool(settings, from_key));
}

void copy_int(obs_data_t *settings, obs_data_t *to, const char *to_key, const char *from_key)
{
	obs_data_set_int(to, to_key, obs_data_get_int(settings, from_key));
}

// The selected pack's sounds as objects: host data arrays hold objects, not plain strings.
OBSDataArrayAutoRelease sound_files(obs_data_t *settings)
{
	OBSDataArrayAutoRelease files = obs_data_array_create();
	for (const std::string &name : sound_pack_files(obs_data_get_string(settings, "sound_pack"))) {
		OBSDataAutoRelease item = obs_data_create();
		obs_data_set_string(item, "name", name.c_str());
		obs_data_array_push_back(files, item);
	}
	return files;
}

// What the desktop's privacy hides now, as the tick last saw it.
OBSDataAutoRelease privacy_object(const CorePrivacy &privacy)
{
	OBSDataAutoRelease object = obs_data_create();
	obs_data_set_bool(object, "passwordField", privacy.shown.password_field);
	obs_data_set_bool(object, "screenLocked", privacy.shown.screen_locked);
	obs_data_set_string(object, "detector", privacy_detector_name(privacy.shown.detector));
	return object;
}

} // namespace

OBSDataAutoRelease build_state(const Core &core)
{
	const RuntimeState &state = core.runtime;
	obs_data_t *settings = core.settings.data;
	OBSDataAutoRelease out = obs_data_create();
	obs_data_set_bool(out, "paused", state.paused);
	obs_data_set_bool(out, "hidden", state.hidden);
	for (const char *key : {"mode", "layout", "skin", "shortcuts"})
		copy_string(settings, out, key, key);
	for (const char *key : {"run_on_start", "speed", "heatmap", "sound", "mask", "kana", "mouse"})
		copy_bool(settings, out, key, key);
	obs_data_set_int(out, "rev", static_cast<long long>(state.rev));
	copy_string(settings, out, "textSource", "text_source");
	copy_bool(settings, out, "textScroll", "text_scroll");
	copy_string(settings, out, "textColor", "text_color");
	copy_string(settings, out, "textFont", "text_font");
	copy_int(settings, out, "textLines", "text_lines");
	copy_int(settings, out, "textFontSize", "text_font_size");
	copy_int(settings, out, "textWidth", "text_width");
	copy_string(settings, out, "textDirection", "text_direction");
	copy_int(settings, out, "soundVolume", "sound_volume");
	copy_string(settings, out, "soundPack", "sound_pack");
	obs_data_set_array(out, "soundFiles", sound_files(settings));
	obs_data_set_obj(out, "hotkeys", hotkeys_state_object(core));
	// An addition pages ignore: which road reached the overlay with the last event ("source",
	// "broadcast" to every browser source, or "none" while no overlay source exists).
	obs_data_set_string(out, "overlayRoad", overlay_road_name(vendor_record().overlayRoad));
	obs_data_set_obj(out, "privacy", privacy_object(core.privacy));
	obs_data_set_obj(out, "capture", capture_state_object(read_capture_report()));
	return out;
}

OverlayOptions current_options(const Core &core)
{
	obs_data_t *data = core.settings.data;
	const auto text = [data](const char *key) { return std::string(obs_data_get_string(data, key)); };
	const auto number = [data](const char *key) { return static_cast<std::int32_t>(obs_data_get_int(data, key)); };
	OverlayOptions options = default_options();
	options.mode = text("mode");
	options.layout = text("layout");
	options.skin = text("skin");
	options.shortcuts = text("shortcuts");
	options.speed = obs_data_get_bool(data, "speed");
	options.heatmap = obs_data_get_bool(data, "heatmap");
	options.sound = obs_data_get_bool(data, "sound");
	options.mask = obs_data_get_bool(data, "mask");
	options.kana = obs_data_get_bool(data, "kana");
	options.mouse = obs_data_get_bool(data, "mouse");
	options.sound_volume = number("sound_volume");
	options.sound_pack = text("sound_pack");
	options.text_font = text("text_font");
	options.text_lines = number("text_lines");
	options.text_font_size = number("text_font_size");
	options.text_width = number("text_width");
	options.text_direction = text("text_direction");
	return options;
}

} // namespace clackery
