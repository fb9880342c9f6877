#pragma once
// The module's persistent options: one host data object read from and written to
// "config.json" in the module's configuration directory.

#include "core/settings_json.h"

#include <obs-data.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace clackery {

struct Settings {
	Settings() = default;
	Settings(const Settings &) = delete;
	Settings &operator=(const Settings &) = delete;
	~Settings() { obs_data_release(data); }

	// Null outside the module's life; never null between load_settings and release_settings.
	obs_data_t *data = nullptr;
	// False when saving must not happen until the next load (no path, or an unreadable file
	// that could not be set aside and must not be overwritten).
	bool writable = false;
	std::optional<std::filesystem::path> path;
	// Members of the file that the module does not own, written back as they were read.
	std::vector<RawMember> foreign_members;
};

// Reads "config.json" from the host's configuration directory for this module.
void load_settings(Settings &settings);
// The same for an explicit path; no path means the host has none.
void load_settings_at(Settings &settings, const std::optional<std::filesystem::path> &path);

// Writes the settings back with the host's safe save (temporary file, backup, rename). The
// hotkeys' bindings are stored into them first by save_settings_and_hotkeys.
void save_settings(Settings &settings);

void release_settings(Settings &settings);

// Moves an unreadable settings file to the first free "config.json.broken[.N]" name beside
// it, so that a later save cannot destroy the user's bytes.
bool preserve_broken_settings(const std::filesystem::path &path);

// Keeps a font name only when it is well formed and an installed family; else "".
std::string sanitize_font_name(std::string_view name);

} // namespace clackery
