#include "core/catalogues.h"

#include "common/files.h"

#include "common/ids.h"
#include "core/data_files.h"
#include "core/settings.h"
#include "layouts/json_reader.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

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

std::optional<fs::path> canonical_path(const fs::path &path)
{
	std::error_code ec;
	fs::path result = fs::canonical(path, ec);
	if (ec)
		return std::nullopt;
	return result;
}

// A sheet is a JSON object whose every value is a string (an empty object qualifies).
bool is_sheet_document(const std::string &bytes)
{
	QJsonParseError error{};
	const QJsonDocument doc =
	    QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<int>(bytes.size())), &error);
	if (error.error != QJsonParseError::NoError || !doc.isObject())
		return false;
	const QJsonObject object = doc.object();
	return std::all_of(object.begin(), object.end(), [](const QJsonValue &value) { return value.isString(); });
}

bool is_plain_entry(const fs::directory_entry &entry, fs::file_type type)
{
	// Links and junctions do not count, wherever they point.
	std::error_code ec;
	return entry.symlink_status(ec).type() == type && !ec;
}

bool contains(const std::vector<std::string> &list, std::string_view id)
{
	return std::find(list.begin(), list.end(), id) != list.end();
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
	if (!is_valid_id(id) || skin_dir.empty() || !is_folder(skin_dir))
		return {};
	const std::optional<fs::path> root = canonical_path(skin_dir);
	const fs::path dir = skin_dir / fs::u8path(std::string(id));
	const fs::path file = dir / "config.json";
	if (!root || !is_folder(dir) || !is_file(file))
		return {};
	const std::optional<fs::path> real_dir = canonical_path(dir);
	const std::optional<fs::path> real_file = canonical_path(file);
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

std::vector<std::string> list_skins()
{
	return list_skins_in(find_data_path("skin"));
}

std::vector<std::string> list_skins_in(const fs::path &skin_dir)
{
	std::vector<std::string> ids;
	if (!skin_dir.empty()) {
		std::error_code ec;
		for (fs::directory_iterator it(skin_dir, ec), end; !ec && it != end; it.increment(ec)) {
			if (!is_plain_entry(*it, fs::file_type::directory))
				continue;
			std::string name = it->path().filename().u8string();
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

std::map<std::string, std::string> skin_display_names(const std::vector<std::string> &ids)
{
	return skin_display_names_in(find_data_path("skin"), ids);
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

std::vector<std::string> list_shortcut_sheets()
{
	return list_shortcut_sheets_in(find_data_path("shortcuts"));
}

std::vector<std::string> list_shortcut_sheets_in(const fs::path &shortcuts_dir)
{
	std::vector<std::string> found;
	if (!shortcuts_dir.empty()) {
		std::error_code ec;
		for (fs::directory_iterator it(shortcuts_dir, ec), end; !ec && it != end; it.increment(ec)) {
			if (!is_plain_entry(*it, fs::file_type::regular) ||
			    it->path().extension().u8string() != ".json")
				continue;
			std::string stem = it->path().stem().u8string();
			if (stem == kNoShortcutSheet || !is_valid_id(stem))
				continue;
			const std::optional<std::string> bytes = read_bounded_file(it->path(), 2, kMaxSheetBytes);
			if (bytes && is_sheet_document(*bytes))
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

void correct_skin_setting(const std::vector<std::string> &skins)
{
	obs_data_t *data = settings();
	if (data && !contains(skins, obs_data_get_string(data, "skin")))
		obs_data_set_string(data, "skin", kDefaultSkin);
}

void correct_shortcuts_setting(const std::vector<std::string> &sheets)
{
	obs_data_t *data = settings();
	if (!data || contains(sheets, obs_data_get_string(data, "shortcuts")))
		return;
	obs_data_set_string(data, "shortcuts", contains(sheets, "clipstudio") ? "clipstudio" : kNoShortcutSheet);
}

} // namespace clackery
