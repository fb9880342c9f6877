#include "core/catalogue_files.h"

#include "common/files.h"
#include "common/ids.h"
#include "common/json_reader.h"

#include <algorithm>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace clackery {
namespace {

constexpr std::uintmax_t kMaxSkinConfigBytes = 65536;
constexpr std::uintmax_t kMaxSheetBytes = 1048576;
constexpr const char *kWellKnownSheets[] = {"clipstudio", "sai", "photoshop"};

bool is_folder(const fs::path &path)
{
	std::error_code ec;
	return fs::is_directory(path, ec) && !ec;
}

bool is_file(const fs::path &path)
{
	std::error_code ec;
	return fs::is_regular_file(path, ec) && !ec;
}

bool contains(const std::vector<std::string> &list, std::string_view id)
{
	return std::find(list.begin(), list.end(), id) != list.end();
}

// The names of the entries of `dir` that are themselves of `type` (links and junctions never
// are, wherever they point) and have a UTF-8 name. An error while walking keeps what was found.
std::vector<std::pair<std::string, fs::path>> plain_entries(const fs::path &dir, fs::file_type type)
{
	std::vector<std::pair<std::string, fs::path>> entries;
	std::error_code ec;
	for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
		std::optional<std::string> name = entry_name_utf8(it->path());
		if (name && own_file_type(it->path()) == type)
			entries.emplace_back(std::move(*name), it->path());
	}
	return entries;
}

} // namespace

std::size_t skin_rank(std::string_view id)
{
	const auto it = std::find(SKIN_ORDER.begin(), SKIN_ORDER.end(), id);
	return static_cast<std::size_t>(it - SKIN_ORDER.begin());
}

bool skin_order_less(std::string_view a, std::string_view b)
{
	const std::size_t rank_a = skin_rank(a);
	const std::size_t rank_b = skin_rank(b);
	return rank_a != rank_b ? rank_a < rank_b : a < b;
}

fs::path resolve_skin_config(const fs::path &skin_dir, std::string_view id)
{
	if (!is_valid_id(id) || skin_dir.empty() || !is_folder(skin_dir) || !has_entry_named(skin_dir, id))
		return {};
	const std::optional<fs::path> root = resolved_path(skin_dir);
	const fs::path dir = skin_dir / path_from_utf8(id);
	const fs::path file = dir / "config.json";
	if (!root || !is_folder(dir) || !is_file(file))
		return {};
	const std::optional<fs::path> real_dir = resolved_path(dir);
	const std::optional<fs::path> real_file = resolved_path(file);
	// A link anywhere on the way must not lead out of the skin folder.
	if (!real_dir || !real_file || real_dir->parent_path() != *root || real_file->parent_path() != *real_dir)
		return {};
	return *real_file;
}

std::string skin_display_name(const fs::path &skin_dir, std::string_view id)
{
	const fs::path config = resolve_skin_config(skin_dir, id);
	if (config.empty())
		return std::string(id);
	const std::optional<std::string> bytes = read_bounded_file(config, 2, kMaxSkinConfigBytes);
	if (!bytes)
		return std::string(id);
	const DisplayNameDocument doc = read_display_name_document(*bytes);
	if (!doc.ok)
		return std::string(id);
	return doc.display_name.empty() ? builtin_skin_name(id) : doc.display_name;
}

std::vector<std::string> list_skins_in(const fs::path &skin_dir)
{
	std::vector<std::string> ids;
	if (!skin_dir.empty()) {
		for (auto &[name, path] : plain_entries(skin_dir, fs::file_type::directory)) {
			if (!resolve_skin_config(skin_dir, name).empty())
				ids.push_back(std::move(name));
		}
	}
	std::sort(ids.begin(), ids.end(),
		  [](const std::string &a, const std::string &b) { return skin_order_less(a, b); });
	ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
	if (ids.empty())
		ids.emplace_back(kDefaultSkin);
	return ids;
}

std::map<std::string, std::string> skin_display_names_in(const fs::path &skin_dir, const std::vector<std::string> &ids)
{
	std::map<std::string, std::string> names;
	if (skin_dir.empty())
		return names;
	for (const std::string &id : ids)
		names[id] = skin_display_name(skin_dir, id);
	return names;
}

std::vector<std::string> list_shortcut_sheets_in(const fs::path &shortcuts_dir, const SheetCheck &is_sheet)
{
	std::vector<std::string> found;
	if (!shortcuts_dir.empty()) {
		for (auto &[name, path] : plain_entries(shortcuts_dir, fs::file_type::regular)) {
			// The extension is exactly ".json", case included.
			if (name.size() <= 5 || name.compare(name.size() - 5, 5, ".json") != 0)
				continue;
			std::string stem = name.substr(0, name.size() - 5);
			if (stem == kNoShortcutSheet || !is_valid_id(stem))
				continue;
			const std::optional<std::string> bytes = read_bounded_file(path, 2, kMaxSheetBytes);
			if (bytes && is_sheet(*bytes))
				found.push_back(std::move(stem));
		}
	}
	std::sort(found.begin(), found.end());
	std::vector<std::string> sheets{kNoShortcutSheet};
	for (const char *known : kWellKnownSheets) {
		if (contains(found, known))
			sheets.emplace_back(known);
	}
	for (std::string &id : found) {
		if (std::find(std::begin(kWellKnownSheets), std::end(kWellKnownSheets), id) ==
		    std::end(kWellKnownSheets))
			sheets.push_back(std::move(id));
	}
	return sheets;
}

} // namespace clackery
