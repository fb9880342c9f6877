#pragma once
// The files behind the skin and shortcut-sheet catalogues: "skin/<id>/config.json" and
// "shortcuts/<id>.json" in a data folder the caller names. Needs neither libobs nor Qt, so it is
// built and tested for Windows too. Nothing is logged; a bad skin or sheet is simply absent.

#include "common/skin_names.h"

#include <array>
#include <filesystem>
#include <functional>
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

// Skin ids in skin order, never empty ("default" alone when nothing usable is found).
std::vector<std::string> list_skins_in(const std::filesystem::path &skin_dir);

// Id to display name for each id; empty when there is no skin folder.
std::map<std::string, std::string> skin_display_names_in(const std::filesystem::path &skin_dir,
							 const std::vector<std::string> &ids);

// Whether the bytes of a sheet file make a sheet (the core checks them with Qt's JSON reader).
using SheetCheck = std::function<bool(const std::string &bytes)>;

// "none", then "clipstudio", "sai", "photoshop" when present, then the other sheets in byte
// order: each a plain "<id>.json" of 2 bytes to 1 MiB that `is_sheet` accepts.
std::vector<std::string> list_shortcut_sheets_in(const std::filesystem::path &shortcuts_dir,
						 const SheetCheck &is_sheet);

} // namespace clackery
