#pragma once
// The module's data folder as the host resolves it, and the start-up steps that read layouts
// and sound packs from it and correct the settings that name them. UI thread only.

#include "common/records.h"
#include "core/settings.h"

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace clackery {

// A file or folder of the module's data directory (obs_find_module_file); an empty path when
// the host finds none.
std::filesystem::path find_data_path(const std::string &relative);

// Layout `id` from the data folder "layouts"; empty when it is unusable for any reason.
std::vector<LayoutEntry> load_layout(std::string_view id);

// The usable layout ids, in byte order; "jis_tkl" alone when there are none.
std::vector<std::string> list_layouts();

// Installs the text layout named by the "layout" setting. An unusable layout turns the
// setting into "jis_tkl"; when that is unusable too, a warning is logged and the installed
// layout is empty.
void load_text_layout(Settings &settings);
void load_text_layout_from(Settings &settings, const std::filesystem::path &layouts_dir);

// Discovers the sound packs once, installs the module's pack table, turns a "sound_pack"
// setting that names no pack into "shizuka", and returns pack id to display name.
std::map<std::string, std::string> load_sound_packs(Settings &settings);
std::map<std::string, std::string> load_sound_packs_from(Settings &settings, const std::filesystem::path &sounds_dir);

} // namespace clackery
