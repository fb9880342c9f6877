#include "core/settings.h"

#include "common/files.h"
#include "common/log.h"
#include "common/obs_util.h"
#include "common/qt_text.h"
#include "common/text.h"
#include "core/settings_json.h"

#include <obs-module.h>
#include <util/platform.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace clackery {
namespace {

constexpr std::uintmax_t kMaxSettingsBytes = 0x100000;

bool is_missing_file_error(const std::error_code &ec)
{
	return ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
}

std::string read_small_file(const fs::path &path)
{
	// Opening a FIFO or a device would block the UI thread at start-up.
	std::error_code ec;
	if (!fs::is_regular_file(path, ec))
		return {};
	return read_bounded_file(path, 1, kMaxSettingsBytes).value_or(std::string());
}

// The keys this module reads and writes; every other member of the file belongs to someone else.
constexpr const char *kOwnedKeys[] = {
    "mode",       "layout",         "skin",         "shortcuts",   "speed",        "sound",
    "kana",       "text_source",    "text_color",   "text_font",   "text_lines",   "text_font_size",
    "text_width", "text_direction", "sound_volume", "sound_pack",  "run_on_start", "mask",
    "heatmap",    "text_scroll",    "pause_hotkey", "hide_hotkey", "mode_hotkey",  "mouse",
};

bool is_owned_key(const std::string &key)
{
	return std::any_of(std::begin(kOwnedKeys), std::end(kOwnedKeys),
			   [&](const char *owned) { return key == owned; });
}

std::optional<QJsonDocument> parse_object(const std::string &bytes)
{
	if (bytes.empty())
		return std::nullopt;
	QJsonParseError error{};
	QJsonDocument doc = QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<int>(bytes.size())), &error);
	if (error.error != QJsonParseError::NoError || !doc.isObject())
		return std::nullopt;
	return doc;
}

// Only a JSON object becomes settings; Qt checks it, libobs stores the members of ours. The
// members of others are kept aside as their text: libobs would mangle them, or refuse the whole
// file over one number too large for it.
obs_data_t *parse_settings(std::vector<RawMember> &foreign_members, const std::string &bytes)
{
	const std::optional<QJsonDocument> doc = parse_object(bytes);
	if (!doc)
		return nullptr;
	QJsonObject ours = doc->object();
	foreign_members.clear();
	for (RawMember &member : object_members(bytes)) {
		if (is_owned_key(member.name))
			continue;
		ours.remove(utf8_to_qstring(member.name));
		foreign_members.push_back(std::move(member));
	}
	const QByteArray compact = QJsonDocument(ours).toJson(QJsonDocument::Compact);
	return obs_data_create_from_json(compact.constData());
}

// A safe save renames the file to ".bak" before it puts ".tmp" in place. Interrupted between
// the two, it leaves no settings file but complete copies beside it; the newer one wins, and
// ".tmp" on a tie, since it is written before the old file becomes ".bak".
struct Leftover {
	fs::path path;
	std::string bytes;
};

std::optional<Leftover> newest_complete_leftover(const fs::path &path)
{
	std::optional<Leftover> best;
	fs::file_time_type best_time;
	for (const char *extension : {".tmp", ".bak"}) {
		fs::path candidate = path;
		candidate += extension;
		std::string bytes = read_small_file(candidate);
		std::error_code ec;
		const fs::file_time_type written = fs::last_write_time(candidate, ec);
		if (ec || !parse_object(bytes))
			continue;
		if (!best || written > best_time) {
			best = Leftover{candidate, std::move(bytes)};
			best_time = written;
		}
	}
	return best;
}

// The settings as the file should hold them: libobs's text for the keys of ours, then the
// members of others exactly as they were read.
std::string settings_text(const Settings &settings)
{
	const char *json = obs_data_get_json(settings.data);
	return append_members(json ? json : "{}", settings.foreign_members);
}

void give_defaults(obs_data_t *data)
{
	obs_data_set_default_string(data, "mode", "both");
	obs_data_set_default_string(data, "layout", "jis_tkl");
	obs_data_set_default_string(data, "skin", "cute_strawberry_milk");
	obs_data_set_default_string(data, "shortcuts", "clipstudio");
	obs_data_set_default_bool(data, "speed", true);
	obs_data_set_default_bool(data, "sound", true);
	obs_data_set_default_bool(data, "kana", false);
	obs_data_set_default_bool(data, "mouse", false);
	obs_data_set_default_string(data, "text_source", "dock");
	obs_data_set_default_string(data, "text_color", "white");
	obs_data_set_default_string(data, "text_font", "");
	obs_data_set_default_int(data, "text_lines", 0);
	obs_data_set_default_int(data, "text_font_size", 0);
	obs_data_set_default_int(data, "text_width", 0);
	obs_data_set_default_string(data, "text_direction", "skin");
	obs_data_set_default_int(data, "sound_volume", 30);
	obs_data_set_default_string(data, "sound_pack", "shizuka");
}

// These are not user options in this version: whatever the file says, they start as given.
void force_keys(obs_data_t *data)
{
	const std::pair<const char *, bool> forced[] = {
	    {"run_on_start", false}, {"mask", false}, {"heatmap", false}, {"text_scroll", true}};
	for (const auto &[key, value] : forced) {
		obs_data_set_default_bool(data, key, value);
		obs_data_set_bool(data, key, value);
	}
}

struct KeyType {
	const char *key;
	obs_data_type type;
};

constexpr KeyType kTypedKeys[] = {
    {"mode", OBS_DATA_STRING},       {"layout", OBS_DATA_STRING},         {"skin", OBS_DATA_STRING},
    {"shortcuts", OBS_DATA_STRING},  {"speed", OBS_DATA_BOOLEAN},         {"sound", OBS_DATA_BOOLEAN},
    {"kana", OBS_DATA_BOOLEAN},      {"text_source", OBS_DATA_STRING},    {"text_color", OBS_DATA_STRING},
    {"text_font", OBS_DATA_STRING},  {"text_lines", OBS_DATA_NUMBER},     {"text_font_size", OBS_DATA_NUMBER},
    {"text_width", OBS_DATA_NUMBER}, {"text_direction", OBS_DATA_STRING}, {"sound_volume", OBS_DATA_NUMBER},
    {"sound_pack", OBS_DATA_STRING}, {"mouse", OBS_DATA_BOOLEAN},
};

// libobs retypes an item when it is given a default of another type and then reads the old
// bytes as the new type, so values of the wrong type are removed before the defaults are
// given. Returns the keys removed.
std::vector<std::string> remove_wrong_types(obs_data_t *data)
{
	std::vector<std::string> removed;
	for (const KeyType &entry : kTypedKeys) {
		if (has_user_value_of_other_type(data, entry.key, entry.type)) {
			obs_data_erase(data, entry.key);
			removed.emplace_back(entry.key);
		}
	}
	return removed;
}

bool contains(const std::vector<std::string> &keys, const char *key)
{
	return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// A value of the wrong type becomes the default as a stored value.
void store_defaults_for(obs_data_t *data, const std::vector<std::string> &removed)
{
	for (const char *key : {"speed", "sound", "kana", "mouse"}) {
		if (contains(removed, key))
			obs_data_set_bool(data, key, obs_data_get_default_bool(data, key));
	}
	for (const char *key : {"mode", "layout", "skin", "shortcuts", "text_source", "text_color", "sound_pack"}) {
		if (contains(removed, key)) {
			const std::string fallback = obs_data_get_default_string(data, key);
			obs_data_set_string(data, key, fallback.c_str());
		}
	}
	if (contains(removed, "sound_volume"))
		obs_data_set_int(data, "sound_volume", 30);
}

// Reads the volume in the number's own kind so that a huge value clamps instead of
// overflowing an integer conversion.
long long clamped_volume(obs_data_t *data)
{
	DataItem item(obs_data_item_byname(data, "sound_volume"));
	if (item && obs_data_item_numtype(item.get()) == OBS_DATA_NUM_DOUBLE) {
		const double value = obs_data_item_get_double(item.get());
		return static_cast<long long>(std::clamp(value, 0.0, 100.0));
	}
	return std::clamp(obs_data_get_int(data, "sound_volume"), 0LL, 100LL);
}

long long integral_in_range(obs_data_t *data, const char *key, double low, double high)
{
	if (!has_typed_value(data, key, OBS_DATA_NUMBER))
		return 0;
	const double value = obs_data_get_double(data, key);
	if (!std::isfinite(value) || std::trunc(value) != value || value < low || value > high)
		return 0;
	return static_cast<long long>(value);
}

std::string string_or(obs_data_t *data, const char *key, const char *fallback)
{
	return has_typed_value(data, key, OBS_DATA_STRING) ? obs_data_get_string(data, key) : fallback;
}

void normalise_values(obs_data_t *data)
{
	obs_data_set_int(data, "sound_volume", clamped_volume(data));

	const std::string mode = obs_data_get_string(data, "mode");
	if (mode != "keyboard" && mode != "text" && mode != "both")
		obs_data_set_string(data, "mode", "both");
	const std::string source = obs_data_get_string(data, "text_source");
	if (source != "dock" && source != "keys")
		obs_data_set_string(data, "text_source", "dock");

	const bool dark = string_or(data, "text_color", "") == "dark";
	obs_data_set_string(data, "text_color", dark ? "dark" : "white");

	const std::string font = sanitize_font_name(string_or(data, "text_font", ""));
	obs_data_set_string(data, "text_font", font.c_str());

	obs_data_set_int(data, "text_lines", integral_in_range(data, "text_lines", 1, 20));
	obs_data_set_int(data, "text_font_size", integral_in_range(data, "text_font_size", 8, 96));
	obs_data_set_int(data, "text_width", integral_in_range(data, "text_width", 50, 150));

	const std::string direction = string_or(data, "text_direction", "skin");
	obs_data_set_string(data, "text_direction",
			    direction == "up" || direction == "down" ? direction.c_str() : "skin");
}

// Defaults become stored values so that the file always holds every key.
void store_defaults(obs_data_t *data)
{
	for (const char *key : {"run_on_start", "speed", "heatmap", "sound", "mask", "kana", "text_scroll", "mouse"})
		obs_data_set_bool(data, key, obs_data_get_bool(data, key));
	for (const char *key :
	     {"mode", "layout", "skin", "shortcuts", "text_source", "text_color", "text_font", "sound_pack"}) {
		const std::string value = obs_data_get_string(data, key);
		obs_data_set_string(data, key, value.c_str());
	}
	for (const char *key : {"text_lines", "text_font_size", "text_width"})
		obs_data_set_int(data, key, obs_data_get_int(data, key));
	const std::string direction = obs_data_get_string(data, "text_direction");
	obs_data_set_string(data, "text_direction", direction.c_str());
}

} // namespace

std::string sanitize_font_name(std::string_view name)
{
	if (!is_clean_font_name(name))
		return {};
	const auto &families = installed_font_families();
	const bool installed = std::find(families.begin(), families.end(), name) != families.end();
	return installed ? std::string(name) : std::string();
}

bool preserve_broken_settings(const fs::path &path)
{
	for (int i = 0; i < 1000; ++i) {
		fs::path candidate = path;
		candidate += i == 0 ? std::string(".broken") : ".broken." + std::to_string(i);
		std::error_code ec;
		const fs::file_status status = fs::symlink_status(candidate, ec);
		const bool missing = status.type() == fs::file_type::not_found || (ec && is_missing_file_error(ec));
		if (ec && !missing)
			return false;
		if (missing) {
			fs::rename(path, candidate, ec);
			return !ec;
		}
	}
	return false;
}

void load_settings_at(Settings &settings, const std::optional<fs::path> &path)
{
	release_settings(settings);
	settings.writable = true;
	settings.path = path;

	if (!path) {
		settings.writable = false;
	} else {
		std::error_code ec;
		const fs::file_status status = fs::symlink_status(*path, ec);
		if (status.type() == fs::file_type::not_found || (ec && is_missing_file_error(ec))) {
			// Absent: defaults, and the first save creates the file, unless a save was cut off.
			if (std::optional<Leftover> leftover = newest_complete_leftover(*path)) {
				settings.data = parse_settings(settings.foreign_members, leftover->bytes);
				log_line(LOG_WARNING, "settings file missing; recovered from %s",
					 leftover->path.filename().u8string().c_str());
			}
		} else if (ec) {
			settings.writable = false;
		} else {
			settings.data = parse_settings(settings.foreign_members, read_small_file(*path));
			if (!settings.data) {
				const bool preserved = preserve_broken_settings(*path);
				settings.writable = preserved;
				log_line(LOG_WARNING, "invalid settings; defaults selected; preserved=%d",
					 preserved ? 1 : 0);
			}
		}
	}

	if (!settings.data)
		settings.data = obs_data_create();
	const std::vector<std::string> removed = remove_wrong_types(settings.data);
	give_defaults(settings.data);
	force_keys(settings.data);
	store_defaults_for(settings.data, removed);
	normalise_values(settings.data);
}

void load_settings(Settings &settings)
{
	HostString path(obs_module_get_config_path(obs_current_module(), "config.json"));
	if (path)
		load_settings_at(settings, fs::u8path(path.get()));
	else
		load_settings_at(settings, std::nullopt);
}

void save_settings(Settings &settings)
{
	if (!settings.data || !settings.writable || !settings.path)
		return;
	store_defaults(settings.data);

	const std::string file = settings.path->u8string();
	const std::string dir = settings.path->parent_path().u8string();
	os_mkdirs(dir.c_str());
	// The host's safe write, as its own JSON save uses it: temporary file, backup, rename.
	const std::string text = settings_text(settings);
	if (!os_quick_write_utf8_file_safe(file.c_str(), text.data(), text.size(), false, "tmp", "bak"))
		log_line(LOG_WARNING, "settings save failed");
}

void release_settings(Settings &settings)
{
	obs_data_release(settings.data);
	settings.data = nullptr;
	settings.foreign_members.clear();
}

} // namespace clackery
