// "config.json" from arbitrary bytes, read the way the module reads it (Qt checks the JSON,
// libobs stores it) and written back with the host's safe save. Never a crash; afterwards every
// key of the settings table has its type and a valid value, the saved file parses, and loading
// it again gives the same values.
#include "common/qt_text.h"
#include "common/text.h"
#include "core/settings.h"

#include <obs.hpp>
#include <util/base.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace clackery;

namespace {

Settings fuzz_settings;

void quiet_log(int, const char *, va_list, void *) {}

fs::path work_dir;
// Never destroyed: at exit Qt's own globals are gone before a static's destructor would run.
QGuiApplication *app = nullptr;

[[noreturn]] void fail(const char *what, const char *key)
{
	std::fprintf(stderr, "settings invariant broken: %s (%s)\n", what, key);
	std::abort();
}

void expect(bool ok, const char *what, const char *key)
{
	if (!ok)
		fail(what, key);
}

obs_data_type type_of(obs_data_t *data, const char *key)
{
	obs_data_item_t *item = obs_data_item_byname(data, key);
	const obs_data_type type = item ? obs_data_item_gettype(item) : OBS_DATA_NULL;
	obs_data_item_release(&item);
	return type;
}

std::string string_of(obs_data_t *data, const char *key)
{
	expect(type_of(data, key) == OBS_DATA_STRING, "not a string", key);
	return obs_data_get_string(data, key);
}

bool one_of(const std::string &value, std::initializer_list<const char *> allowed)
{
	return std::any_of(allowed.begin(), allowed.end(), [&](const char *a) { return value == a; });
}

long long int_of(obs_data_t *data, const char *key)
{
	expect(type_of(data, key) == OBS_DATA_NUMBER, "not a number", key);
	obs_data_item_t *item = obs_data_item_byname(data, key);
	const bool integer = obs_data_item_numtype(item) == OBS_DATA_NUM_INT;
	obs_data_item_release(&item);
	expect(integer, "not an integer", key);
	return obs_data_get_int(data, key);
}

bool bool_of(obs_data_t *data, const char *key)
{
	expect(type_of(data, key) == OBS_DATA_BOOLEAN, "not a boolean", key);
	return obs_data_get_bool(data, key);
}

void expect_unset_or_in(long long value, long long low, long long high, const char *key)
{
	expect(value == 0 || (value >= low && value <= high), "out of range", key);
}

// Every key of the table after a load, as the rest of the module relies on it.
std::map<std::string, std::string> check_table(obs_data_t *data)
{
	std::map<std::string, std::string> values;
	expect(one_of(values["mode"] = string_of(data, "mode"), {"keyboard", "text", "both"}), "bad value", "mode");
	for (const char *key : {"layout", "skin", "shortcuts", "sound_pack"})
		values[key] = string_of(data, key);
	for (const char *key : {"speed", "sound", "kana"})
		values[key] = bool_of(data, key) ? "true" : "false";
	expect(one_of(values["text_source"] = string_of(data, "text_source"), {"dock", "keys"}), "bad value",
	       "text_source");
	expect(one_of(values["text_color"] = string_of(data, "text_color"), {"white", "dark"}), "bad value",
	       "text_color");
	const std::string font = values["text_font"] = string_of(data, "text_font");
	if (!font.empty()) {
		const auto &families = installed_font_families();
		expect(std::find(families.begin(), families.end(), font) != families.end(), "font not installed",
		       "text_font");
	}
	const long long lines = int_of(data, "text_lines");
	const long long size = int_of(data, "text_font_size");
	const long long width = int_of(data, "text_width");
	const long long volume = int_of(data, "sound_volume");
	expect_unset_or_in(lines, 1, 20, "text_lines");
	expect_unset_or_in(size, 8, 96, "text_font_size");
	expect_unset_or_in(width, 50, 150, "text_width");
	expect(volume >= 0 && volume <= 100, "out of range", "sound_volume");
	values["text_lines"] = std::to_string(lines);
	values["text_font_size"] = std::to_string(size);
	values["text_width"] = std::to_string(width);
	values["sound_volume"] = std::to_string(volume);
	expect(one_of(values["text_direction"] = string_of(data, "text_direction"), {"skin", "up", "down"}),
	       "bad value", "text_direction");
	expect(!bool_of(data, "run_on_start"), "forced key changed", "run_on_start");
	expect(!bool_of(data, "mask"), "forced key changed", "mask");
	expect(!bool_of(data, "heatmap"), "forced key changed", "heatmap");
	expect(bool_of(data, "text_scroll"), "forced key changed", "text_scroll");
	return values;
}

std::string read_file(const fs::path &path)
{
	std::ifstream in(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void clear_work_dir()
{
	std::error_code ec;
	for (const auto &entry : fs::directory_iterator(work_dir, ec))
		fs::remove_all(entry.path(), ec);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	base_set_log_handler(quiet_log, nullptr);
	// The font rule asks Qt for the installed families; no display is needed for that.
	setenv("QT_QPA_PLATFORM", "offscreen", 1);
	static int argc = 1;
	static char name[] = "fuzz_settings_load";
	static char *argv[] = {name, nullptr};
	app = new QGuiApplication(argc, argv);
	installed_font_families();
	work_dir = fs::temp_directory_path() / ("clackery-fuzz-settings-" + std::to_string(getpid()));
	fs::create_directories(work_dir);
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	clear_work_dir();
	const fs::path file = work_dir / "config.json";
	{
		std::ofstream out(file, std::ios::binary);
		out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
	}

	const long allocations_before = bnum_allocs();
	load_settings_at(fuzz_settings, file);
	expect(fuzz_settings.data != nullptr, "no settings object", "-");
	const std::map<std::string, std::string> loaded = check_table(fuzz_settings.data);
	// Only a file that was set aside may make saving impossible; then it must be untouched.
	const bool writable = fuzz_settings.writable;
	save_settings(fuzz_settings);
	release_settings(fuzz_settings);

	if (!writable) {
		expect(fs::exists(file) && read_file(file).size() == size, "unsaved file changed", "config.json");
	} else {
		const std::string saved = read_file(file);
		QJsonParseError error{};
		const QJsonDocument doc =
		    QJsonDocument::fromJson(QByteArray(saved.data(), static_cast<int>(saved.size())), &error);
		expect(error.error == QJsonParseError::NoError && doc.isObject(), "saved file is not a JSON object",
		       "config.json");
		load_settings_at(fuzz_settings, file);
		expect(fuzz_settings.writable, "saved file refused on reload", "config.json");
		expect(check_table(fuzz_settings.data) == loaded, "reload gives other values", "config.json");
		release_settings(fuzz_settings);
	}
	expect(bnum_allocs() == allocations_before, "libobs allocations leaked", "-");
	return 0;
}
