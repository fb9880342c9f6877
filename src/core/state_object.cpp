#include "core/state_object.h"

#include "core/hotkeys.h"
#include "core/privacy.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "sounds/sound_packs.h"

namespace clackery {
namespace {

void copy_string(obs_data_t *to, const char *to_key, const char *from_key)
{
	obs_data_set_string(to, to_key, obs_data_get_string(settings(), from_key));
}

void copy_bool(obs_data_t *to, const char *to_key, const char *from_key)
{
	obs_data_set_bool(to, to_key, obs_data_get_bool(settings(), from_key));
}

void copy_int(obs_data_t *to, const char *to_key, const char *from_key)
{
	obs_data_set_int(to, to_key, obs_data_get_int(settings(), from_key));
}

// The selected pack's sounds as objects: host data arrays hold objects, not plain strings.
OBSDataArrayAutoRelease sound_files()
{
	OBSDataArrayAutoRelease files = obs_data_array_create();
	for (const std::string &name : sound_pack_files(obs_data_get_string(settings(), "sound_pack"))) {
		OBSDataAutoRelease item = obs_data_create();
		obs_data_set_string(item, "name", name.c_str());
		obs_data_array_push_back(files, item);
	}
	return files;
}

} // namespace

OBSDataAutoRelease build_state()
{
	const RuntimeState &state = runtime_state();
	OBSDataAutoRelease out = obs_data_create();
	obs_data_set_bool(out, "paused", state.paused);
	obs_data_set_bool(out, "hidden", state.hidden);
	for (const char *key : {"mode", "layout", "skin", "shortcuts"})
		copy_string(out, key, key);
	for (const char *key : {"run_on_start", "speed", "heatmap", "sound", "mask", "kana"})
		copy_bool(out, key, key);
	obs_data_set_int(out, "rev", static_cast<long long>(state.rev));
	copy_string(out, "textSource", "text_source");
	copy_bool(out, "textScroll", "text_scroll");
	copy_string(out, "textColor", "text_color");
	copy_string(out, "textFont", "text_font");
	copy_int(out, "textLines", "text_lines");
	copy_int(out, "textFontSize", "text_font_size");
	copy_int(out, "textWidth", "text_width");
	copy_string(out, "textDirection", "text_direction");
	copy_int(out, "soundVolume", "sound_volume");
	copy_string(out, "soundPack", "sound_pack");
	obs_data_set_array(out, "soundFiles", sound_files());
	obs_data_set_obj(out, "hotkeys", hotkeys_state_object());
	obs_data_set_obj(out, "privacy", privacy_state_object());
	return out;
}

} // namespace clackery
