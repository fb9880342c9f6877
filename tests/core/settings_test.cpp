#include "common/qt_text.h"
#include "core/settings.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <obs.hpp>

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <utility>
#include <vector>

#include <string>

#include <sys/stat.h>

using namespace clackery;
namespace fs = std::filesystem;

namespace {

const char *kBrokenWarning = "[clackery] invalid settings; defaults selected; preserved=%d";

std::string broken_line(int preserved)
{
	char text[128];
	std::snprintf(text, sizeof(text), kBrokenWarning, preserved);
	return text;
}

std::vector<std::string> ours(const LogCapture &log)
{
	std::vector<std::string> lines;
	for (const LoggedLine &line : log.lines()) {
		if (line.text.rfind("[clackery] ", 0) == 0)
			lines.push_back(line.text);
	}
	return lines;
}

class SettingsTest : public testing::Test {
protected:
	void TearDown() override { release_settings(s); }

	fs::path config() const { return dir / "config.json"; }

	void load_text(const std::string &json)
	{
		write_file(config(), json);
		load_settings_at(s, config());
	}

	std::string str(const char *key) const { return obs_data_get_string(s.data, key); }
	long long num(const char *key) const { return obs_data_get_int(s.data, key); }
	bool flag(const char *key) const { return obs_data_get_bool(s.data, key); }

	// The file as libobs reads it back.
	OBSDataAutoRelease saved() const { return obs_data_create_from_json_file(config().u8string().c_str()); }

	TempDir dir;
	LogCapture log;
	Settings s;
};

} // namespace

TEST_F(SettingsTest, AbsentFileGivesDefaultsAndTheFirstSaveWritesEveryKey)
{
	load_settings_at(s, config());
	EXPECT_TRUE(s.writable);
	EXPECT_FALSE(fs::exists(config()));
	EXPECT_EQ(str("mode"), "both");
	EXPECT_EQ(str("layout"), "jis_tkl");
	EXPECT_EQ(str("skin"), "cute_strawberry_milk");
	EXPECT_EQ(str("shortcuts"), "clipstudio");
	EXPECT_EQ(num("sound_volume"), 30);
	EXPECT_EQ(str("sound_pack"), "shizuka");
	EXPECT_TRUE(flag("text_scroll"));
	EXPECT_TRUE(log.lines().empty());

	save_settings(s);
	OBSDataAutoRelease file = saved();
	ASSERT_TRUE(file);
	for (const char *key :
	     {"mode",       "layout",         "skin",         "shortcuts",  "speed",        "sound",
	      "kana",       "text_source",    "text_color",   "text_font",  "text_lines",   "text_font_size",
	      "text_width", "text_direction", "sound_volume", "sound_pack", "run_on_start", "mask",
	      "heatmap",    "text_scroll",    "mouse"})
		EXPECT_TRUE(obs_data_has_user_value(file, key)) << key;
}

TEST_F(SettingsTest, NormalisesEveryKeyOfTheTable)
{
	load_text(R"({"mode":"TEXT","layout":7,"skin":"navy_gold","shortcuts":false,"speed":"yes","sound":false,
		"kana":1,"text_source":"Keys","text_color":"Dark","text_font":" Sans","text_lines":21,
		"text_font_size":12.5,"text_width":"80","text_direction":"left","sound_volume":250,
		"sound_pack":["x"],"mouse":"on"})");
	EXPECT_EQ(str("mode"), "both");
	EXPECT_EQ(str("layout"), "jis_tkl");
	EXPECT_EQ(str("skin"), "navy_gold");
	EXPECT_EQ(str("shortcuts"), "clipstudio");
	EXPECT_TRUE(flag("speed"));
	EXPECT_FALSE(flag("sound"));
	EXPECT_FALSE(flag("kana"));
	EXPECT_FALSE(flag("mouse")) << "off by default, whatever else was there";
	EXPECT_EQ(str("text_source"), "dock");
	EXPECT_EQ(str("text_color"), "white");
	EXPECT_EQ(str("text_font"), "");
	EXPECT_EQ(num("text_lines"), 0);
	EXPECT_EQ(num("text_font_size"), 0);
	EXPECT_EQ(num("text_width"), 0);
	EXPECT_EQ(str("text_direction"), "skin");
	EXPECT_EQ(num("sound_volume"), 100);
	EXPECT_EQ(str("sound_pack"), "shizuka");
}

TEST_F(SettingsTest, KeepsValidValues)
{
	load_text(R"({"mode":"text","text_source":"keys","text_color":"dark","text_lines":20,
		"text_font_size":8,"text_width":150.0,"text_direction":"down","sound_volume":-5,"mouse":true})");
	EXPECT_EQ(str("mode"), "text");
	EXPECT_TRUE(flag("mouse"));
	EXPECT_EQ(str("text_source"), "keys");
	EXPECT_EQ(str("text_color"), "dark");
	EXPECT_EQ(num("text_lines"), 20);
	EXPECT_EQ(num("text_font_size"), 8);
	EXPECT_EQ(num("text_width"), 150);
	EXPECT_EQ(str("text_direction"), "down");
	EXPECT_EQ(num("sound_volume"), 0);
}

TEST_F(SettingsTest, VolumeOfAnyOtherKindBecomesThirtyAndHugeNumbersClamp)
{
	load_text(R"({"sound_volume":"50"})");
	EXPECT_EQ(num("sound_volume"), 30);
	load_text(R"({"sound_volume":1e300})");
	EXPECT_EQ(num("sound_volume"), 100);
	load_text(R"({"sound_volume":-1e300})");
	EXPECT_EQ(num("sound_volume"), 0);
	load_text(R"({"sound_volume":42.9})");
	EXPECT_EQ(num("sound_volume"), 42);
}

TEST_F(SettingsTest, ForcedKeysIgnoreTheFileAndAreSavedForced)
{
	load_text(R"({"heatmap":true,"mask":true,"run_on_start":true,"text_scroll":false})");
	EXPECT_FALSE(flag("heatmap"));
	EXPECT_FALSE(flag("mask"));
	EXPECT_FALSE(flag("run_on_start"));
	EXPECT_TRUE(flag("text_scroll"));
	save_settings(s);
	OBSDataAutoRelease file = saved();
	EXPECT_FALSE(obs_data_get_bool(file, "heatmap"));
	EXPECT_TRUE(obs_data_get_bool(file, "text_scroll"));
}

TEST_F(SettingsTest, InstalledFontSurvivesAndItsPaddedFormDoesNot)
{
	const auto &families = installed_font_families();
	if (families.empty())
		GTEST_SKIP() << "no fonts installed";
	const std::string family = families.front();
	load_text("{\"text_font\":\"" + family + "\"}");
	EXPECT_EQ(str("text_font"), family);
	load_text("{\"text_font\":\" " + family + "\"}");
	EXPECT_EQ(str("text_font"), "");
	load_text(R"({"text_font":"No Such Family 12345"})");
	EXPECT_EQ(str("text_font"), "");
}

TEST_F(SettingsTest, UnknownKeysSurviveALoadAndASave)
{
	// Arrays of plain values cannot be held by host data objects; ours hold objects.
	load_text(R"({"mode":"keyboard","future_option":{"nested":[{"a":1},{"b":"2"},{}]},"note":"keep me"})");
	save_settings(s);
	OBSDataAutoRelease file = saved();
	EXPECT_STREQ(obs_data_get_string(file, "note"), "keep me");
	OBSDataAutoRelease nested = obs_data_get_obj(file, "future_option");
	ASSERT_TRUE(nested);
	OBSDataArrayAutoRelease array = obs_data_get_array(nested, "nested");
	EXPECT_EQ(obs_data_array_count(array), 3u);
	EXPECT_STREQ(obs_data_get_string(file, "mode"), "keyboard");
}

TEST_F(SettingsTest, UnreadableFilesAreSetAsideByteForByte)
{
	const std::string huge = "{\"a\":\"" + std::string(0x100000, 'x') + "\"}";
	for (const std::string &bytes :
	     {std::string("[]"), std::string(), std::string("{\"mode\":"), huge, std::string("\"just a string\"")}) {
		LogCapture lines;
		write_file(config(), bytes);
		load_settings_at(s, config());
		EXPECT_TRUE(s.writable);
		EXPECT_FALSE(fs::exists(config()));
		EXPECT_EQ(read_file(dir / "config.json.broken"), bytes);
		EXPECT_EQ(lines.count(LOG_WARNING, broken_line(1)), 1);
		EXPECT_EQ(str("mode"), "both");
		fs::remove(dir / "config.json.broken");
	}
}

TEST_F(SettingsTest, AFifoInPlaceOfTheFileIsSetAsideWithoutBlocking)
{
	ASSERT_EQ(mkfifo(config().c_str(), 0600), 0);
	load_settings_at(s, config());
	EXPECT_TRUE(s.writable);
	EXPECT_EQ(fs::status(dir / "config.json.broken").type(), fs::file_type::fifo);
	EXPECT_EQ(log.count(LOG_WARNING, broken_line(1)), 1);
}

TEST_F(SettingsTest, SetAsideTakesTheFirstFreeNumberedName)
{
	write_file(dir / "config.json.broken", "old 0");
	write_file(dir / "config.json.broken.1", "old 1");
	load_text("not json");
	EXPECT_EQ(read_file(dir / "config.json.broken.2"), "not json");
	EXPECT_EQ(read_file(dir / "config.json.broken"), "old 0");
	EXPECT_EQ(read_file(dir / "config.json.broken.1"), "old 1");
}

TEST_F(SettingsTest, WithEveryAsideNameTakenSavingIsDisabledAndTheFileKept)
{
	write_file(dir / "config.json.broken", "");
	for (int i = 1; i < 1000; ++i)
		write_file(dir / ("config.json.broken." + std::to_string(i)), "");
	load_text("garbage");
	EXPECT_FALSE(s.writable);
	EXPECT_EQ(log.count(LOG_WARNING, broken_line(0)), 1);
	obs_data_set_string(s.data, "mode", "text");
	save_settings(s);
	EXPECT_EQ(read_file(config()), "garbage");
}

TEST_F(SettingsTest, NoPathMeansNothingIsEverWritten)
{
	load_settings_at(s, std::nullopt);
	EXPECT_FALSE(s.writable);
	EXPECT_EQ(str("mode"), "both");
	save_settings(s);
	EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(SettingsTest, AFailedWriteKeepsThePreviousFileAndIsLogged)
{
	load_text(R"({"mode":"text"})");
	const std::string before = read_file(config());
	fs::create_directories(dir / "config.json.tmp"); // the temporary file cannot be written
	obs_data_set_string(s.data, "mode", "keyboard");
	save_settings(s);
	EXPECT_EQ(read_file(config()), before);
	EXPECT_EQ(log.count(LOG_WARNING, "[clackery] settings save failed"), 1);
}

TEST_F(SettingsTest, AChangedOptionIsReadBackAfterASave)
{
	load_settings_at(s, config());
	obs_data_set_string(s.data, "mode", "keyboard");
	obs_data_set_int(s.data, "text_lines", 4);
	save_settings(s);
	release_settings(s);
	load_settings_at(s, config());
	EXPECT_EQ(str("mode"), "keyboard");
	EXPECT_EQ(num("text_lines"), 4);
}

// Members written by a user or another tool come back byte for byte: libobs alone would keep only
// objects inside arrays, drop nulls and round numbers beyond 2^53.
TEST_F(SettingsTest, MembersOfOthersSurviveALoadAndASaveByteForByte)
{
	const std::vector<std::pair<std::string, std::string>> foreign = {
	    {R"("future")", R"([1,"a",null,true,{"k":[2]}])"},
	    {R"("empty")", "null"},
	    {R"("deep")", R"({"list":[3.5,"b"]})"},
	    {R"("big")",
	     R"({"n":[9007199254740993,18446744073709551616,-18446744073709551617,1.5e300],"z":[[null,[false]]]})"},
	    {R"("huge")", "123456789012345678901234567890"},
	    {R"("f\u00fc\"r")", R"({ "a" : [ ] , "b" : { } })"},
	    {R"("flag")", "false"},
	};
	std::string text = R"({"mode":"text","sound_volume":"loud")";
	for (const auto &[key, value] : foreign)
		text += "," + key + ":" + value;
	load_text(text + "}");
	EXPECT_EQ(str("mode"), "text");
	EXPECT_EQ(num("sound_volume"), 30);
	save_settings(s);
	save_settings(s); // twice: the second save reads nothing back from the first

	const std::string written = read_file(config());
	for (const auto &[key, value] : foreign) {
		const bool found = written.find(key + ":" + value) != std::string::npos ||
				   written.find(key + ": " + value) != std::string::npos;
		EXPECT_TRUE(found) << key << " in " << written;
	}
	// A second, independent reading of the file agrees on every member.
	const QJsonObject original = QJsonDocument::fromJson(QByteArray::fromStdString(text + "}")).object();
	const QJsonObject reread = QJsonDocument::fromJson(QByteArray::fromStdString(written)).object();
	ASSERT_FALSE(reread.isEmpty()) << written;
	for (const QString &key : original.keys()) {
		if (key != "sound_volume") {
			EXPECT_EQ(reread.value(key), original.value(key)) << key.toStdString();
		}
	}
	EXPECT_EQ(reread.value("sound_volume"), QJsonValue(30));
	EXPECT_EQ(reread.value("text_scroll"), QJsonValue(true));
	EXPECT_EQ(reread.size(), 21 + static_cast<int>(foreign.size()));
}

// A save cut off between its two renames leaves no settings file, only ".tmp" (the new text) and
// ".bak" (the previous one). The newer complete copy is taken back and said so.
TEST_F(SettingsTest, ASaveCutOffBeforeItsLastRenameIsRecovered)
{
	using namespace std::chrono_literals;
	const auto now = fs::file_time_type::clock::now();
	struct Case {
		const char *what;
		const char *tmp; // null: absent
		const char *bak;
		bool tmp_older;
		const char *from; // null: nothing recovered
		const char *mode;
	};
	const Case cases[] = {
	    {"only a backup", nullptr, R"({"mode":"text","x":[null]})", false, "config.json.bak", "text"},
	    {"the new text is newer", R"({"mode":"keyboard","x":[null]})", R"({"mode":"text"})", false,
	     "config.json.tmp", "keyboard"},
	    {"the new text was cut short", R"({"mode":"keyboard")", R"({"mode":"text","x":[null]})", false,
	     "config.json.bak", "text"},
	    {"a stale temporary file", R"({"mode":"keyboard"})", R"({"mode":"text","x":[null]})", true,
	     "config.json.bak", "text"},
	    {"nothing complete", "", "[]", false, nullptr, "both"},
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.what);
		LogCapture lines;
		fs::remove(config());
		fs::remove(dir / "config.json.tmp");
		fs::remove(dir / "config.json.bak");
		if (c.tmp)
			write_file(dir / "config.json.tmp", c.tmp);
		write_file(dir / "config.json.bak", c.bak);
		std::error_code no_tmp;
		fs::last_write_time(dir / "config.json.tmp", now - (c.tmp_older ? 60s : 0s), no_tmp);
		fs::last_write_time(dir / "config.json.bak", now - 30s);
		load_settings_at(s, config());
		EXPECT_TRUE(s.writable);
		EXPECT_EQ(str("mode"), c.mode);
		const std::string line =
		    c.from ? std::string("[clackery] settings file missing; recovered from ") + c.from : "";
		EXPECT_EQ(ours(lines), c.from ? std::vector<std::string>{line} : std::vector<std::string>{});
		if (c.from) {
			EXPECT_EQ(lines.count(LOG_WARNING, line), 1);
		}
		save_settings(s);
		const QJsonObject file =
		    QJsonDocument::fromJson(QByteArray::fromStdString(read_file(config()))).object();
		EXPECT_EQ(file.value("mode").toString().toStdString(), c.mode);
		EXPECT_EQ(file.contains("x"), c.from != nullptr);
		release_settings(s);
	}

	// With the settings file present, leftovers beside it are not read.
	write_file(config(), R"({"mode":"keyboard"})");
	write_file(dir / "config.json.tmp", R"({"mode":"text"})");
	LogCapture lines;
	load_settings_at(s, config());
	EXPECT_EQ(str("mode"), "keyboard");
	EXPECT_TRUE(ours(lines).empty());
}
