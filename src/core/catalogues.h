#pragma once
// The catalogues of skins ("skin/<id>/config.json") and shortcut sheets ("shortcuts/<id>.json")
// that the dock offers and that option changes are checked against, and the start-up
// corrections of the settings that name them. Nothing is logged; a bad skin or sheet is
// simply absent. UI thread only.

#include "core/catalogue_files.h"
#include "core/settings.h"

#include <map>
#include <string>
#include <vector>

namespace clackery {

// The catalogues of the module's own data folder; each call reads the folder afresh.
std::vector<std::string> list_skins();
std::map<std::string, std::string> skin_display_names(const std::vector<std::string> &ids);
std::vector<std::string> list_shortcut_sheets();
std::vector<std::string> list_shortcut_sheets_in(const std::filesystem::path &shortcuts_dir);

// Start-up corrections: a "skin" setting outside the catalogue becomes "default"; a
// "shortcuts" setting outside it becomes "clipstudio" when offered, else "none".
void correct_skin_setting(Settings &settings, const std::vector<std::string> &skins);
void correct_shortcuts_setting(Settings &settings, const std::vector<std::string> &sheets);

// What start-up gathers for the dock's selectors; handed to the dock when it is built.
struct DockCatalogues {
	std::map<std::string, std::string> sound_packs; // pack id → display name
	std::vector<std::string> skins;
	std::vector<std::string> shortcut_sheets;
	std::map<std::string, std::string> skin_names; // skin id → display name
	std::vector<std::string> layouts;
};

} // namespace clackery
