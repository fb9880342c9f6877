#pragma once
// The catalogues of skins ("skin/<id>/config.json") and shortcut sheets ("shortcuts/<id>.json")
// that the dock offers and that option changes are checked against, and the start-up
// corrections of the settings that name them. Nothing is logged; a bad skin or sheet is
// simply absent. UI thread only.

#include "common/skin_names.h"

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace clackery {

constexpr const char *kDefaultSkin = "default";
constexpr const char *kNoShortcutSheet = "none";

// Known skins are listed in this order (a skin's rank is its index); every other id ranks
// after them, in byte order.
constexpr std::array<std::string_view, 16> SKIN_ORDER = {"cute_strawberry_milk",
							 "cute_mint_choco",
							 "cute_lavender_cloud",
							 "cute_macaron",
							 "cute_sakura_mochi",
							 "cute_cotton_candy",
							 "cute_lemon_soda",
							 "cute_peach_jelly",
							 "cute_cat_paw",
							 "cute_bunny",
							 "cute_dream_stars",
							 "cute_cream_soda",
							 "navy_gold",
							 "porcelain",
							 "ice_glass",
							 "default"};

std::size_t skin_rank(std::string_view id);
bool skin_order_less(std::string_view a, std::string_view b);

// The canonical path of the skin's "config.json" when `id` is a real folder directly inside
// `skin_dir` holding a regular "config.json" of its own; an empty path otherwise (bad id,
// links leading out, anything missing).
std::filesystem::path resolve_skin_config(const std::filesystem::path &skin_dir, std::string_view id);

// The skin's "displayName", its built-in name when it has none, or its id when its file
// cannot be read or is refused.
std::string skin_display_name(const std::filesystem::path &skin_dir, std::string_view id);

// Skin ids in skin order, never empty ("default" alone when nothing usable is found). The
// folder is read afresh on every call.
std::vector<std::string> list_skins();
std::vector<std::string> list_skins_in(const std::filesystem::path &skin_dir);

// Id to display name for each id; empty when there is no skin folder.
std::map<std::string, std::string> skin_display_names(const std::vector<std::string> &ids);
std::map<std::string, std::string> skin_display_names_in(const std::filesystem::path &skin_dir,
							 const std::vector<std::string> &ids);

// "none", then "clipstudio", "sai", "photoshop" when present, then the other sheets in byte
// order. The folder is read afresh on every call.
std::vector<std::string> list_shortcut_sheets();
std::vector<std::string> list_shortcut_sheets_in(const std::filesystem::path &shortcuts_dir);

// Start-up corrections: a "skin" setting outside the catalogue becomes "default"; a
// "shortcuts" setting outside it becomes "clipstudio" when offered, else "none".
void correct_skin_setting(const std::vector<std::string> &skins);
void correct_shortcuts_setting(const std::vector<std::string> &sheets);

// What start-up gathers for the dock's selectors; handed to the dock when it is built.
struct DockCatalogues {
	std::map<std::string, std::string> sound_packs; // pack id → display name
	std::vector<std::string> skins;
	std::vector<std::string> shortcut_sheets;
	std::map<std::string, std::string> skin_names; // skin id → display name
	std::vector<std::string> layouts;
};

} // namespace clackery
