#include "core/data_files.h"

#include "common/files.h"
#include "common/log.h"
#include "common/obs_util.h"
#include "core/settings.h"
#include "layouts/layout_files.h"
#include "layouts/text_layout.h"
#include "sounds/sound_packs.h"

#include <obs-module.h>

namespace fs = std::filesystem;

namespace clackery {

fs::path find_data_path(const std::string &relative)
{
	const HostString found(obs_find_module_file(obs_current_module(), relative.c_str()));
	// The host's paths are UTF-8 on every platform.
	return found ? path_from_utf8(found.get()) : fs::path();
}

std::vector<LayoutEntry> load_layout(std::string_view id)
{
	return load_layout_from(find_data_path("layouts"), id);
}

std::vector<std::string> list_layouts()
{
	return list_layouts_in(find_data_path("layouts"));
}

void load_text_layout(Settings &settings)
{
	load_text_layout_from(settings, find_data_path("layouts"));
}

void load_text_layout_from(Settings &settings, const fs::path &layouts_dir)
{
	obs_data_t *data = settings.data;
	const std::string id = data ? obs_data_get_string(data, "layout") : kDefaultLayoutId;
	std::vector<LayoutEntry> entries = load_layout_from(layouts_dir, id);
	if (entries.empty() && id != kDefaultLayoutId) {
		if (data)
			obs_data_set_string(data, "layout", kDefaultLayoutId);
		entries = load_layout_from(layouts_dir, kDefaultLayoutId);
	}
	if (entries.empty())
		log_line(LOG_WARNING, "text layout unavailable");
	install_text_layout(std::move(entries));
}

std::map<std::string, std::string> load_sound_packs(Settings &settings)
{
	return load_sound_packs_from(settings, find_data_path("sounds"));
}

std::map<std::string, std::string> load_sound_packs_from(Settings &settings, const fs::path &sounds_dir)
{
	install_sound_packs(discover_sound_packs(sounds_dir));
	if (obs_data_t *data = settings.data)
		obs_data_set_string(data, "sound_pack",
				    resolve_sound_pack(obs_data_get_string(data, "sound_pack")).c_str());
	return sound_pack_names();
}

} // namespace clackery
