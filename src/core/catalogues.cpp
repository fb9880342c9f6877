#include "core/catalogues.h"

#include "core/data_files.h"
#include "core/settings.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>

namespace fs = std::filesystem;

namespace clackery {
namespace {

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

bool contains(const std::vector<std::string> &list, std::string_view id)
{
	return std::find(list.begin(), list.end(), id) != list.end();
}

} // namespace

std::vector<std::string> list_skins()
{
	return list_skins_in(find_data_path("skin"));
}

std::map<std::string, std::string> skin_display_names(const std::vector<std::string> &ids)
{
	return skin_display_names_in(find_data_path("skin"), ids);
}

std::vector<std::string> list_shortcut_sheets()
{
	return list_shortcut_sheets_in(find_data_path("shortcuts"));
}

std::vector<std::string> list_shortcut_sheets_in(const fs::path &shortcuts_dir)
{
	return list_shortcut_sheets_in(shortcuts_dir, is_sheet_document);
}

void correct_skin_setting(Settings &settings, const std::vector<std::string> &skins)
{
	obs_data_t *data = settings.data;
	if (data && !contains(skins, obs_data_get_string(data, "skin")))
		obs_data_set_string(data, "skin", kDefaultSkin);
}

void correct_shortcuts_setting(Settings &settings, const std::vector<std::string> &sheets)
{
	obs_data_t *data = settings.data;
	if (!data || contains(sheets, obs_data_get_string(data, "shortcuts")))
		return;
	obs_data_set_string(data, "shortcuts", contains(sheets, "clipstudio") ? "clipstudio" : kNoShortcutSheet);
}

} // namespace clackery
