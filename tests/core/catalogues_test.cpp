#include "common/json_reader.h"
#include "core/catalogues.h"
#include "core/core.h"
#include "core/data_files.h"
#include "core/settings.h"
#include "layouts/fs_fixtures.h"
#include "layouts/json_builders.h"
#include "layouts/text_layout.h"
#include "sounds/sound_packs.h"
#include "sounds/wav_builder.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>
#include <obs.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using namespace clackery;
namespace fs = std::filesystem;

namespace {

using Ids = std::vector<std::string>;

class CatalogueTest : public testing::Test {
protected:
	void TearDown() override { release_settings(core.settings); }

	fs::path skin() const { return dir / "skin"; }
	fs::path sheets() const { return dir / "shortcuts"; }

	void make_skin(const std::string &id, const std::string &config = R"({"displayName":"Skin"})")
	{
		write_file(skin() / id / "config.json", config);
	}

	void make_sheet(const std::string &file, const std::string &json = R"({"Ctrl+KeyZ":"元に戻す"})")
	{
		write_file(sheets() / file, json);
	}

	void load_settings_text(const std::string &json)
	{
		write_file(dir / "config.json", json);
		load_settings_at(core.settings, dir / "config.json");
	}

	std::string setting(const char *key) const { return obs_data_get_string(core.settings.data, key); }

	TempDir dir;
	LogCapture log;
	Core core;
};

} // namespace

TEST_F(CatalogueTest, SkinsFollowTheFixedOrderThenBytes)
{
	for (const char *id : {"default", "navy_gold", "zeta", "cute_bunny", "Alpha", "cute_strawberry_milk"})
		make_skin(id);
	EXPECT_EQ(list_skins_in(skin()),
		  (Ids{"cute_strawberry_milk", "cute_bunny", "navy_gold", "default", "Alpha", "zeta"}));

	EXPECT_TRUE(skin_order_less("ice_glass", "default"));
	EXPECT_TRUE(skin_order_less("default", "aaa"));
	EXPECT_FALSE(skin_order_less("aaa", "aaa"));
	EXPECT_EQ(skin_rank("cute_cream_soda"), 11U);
	EXPECT_EQ(skin_rank("unknown"), 16U);
}

TEST_F(CatalogueTest, OnlyRealSkinFoldersWithTheirOwnConfigAreOffered)
{
	make_skin("kept");
	make_skin("with space");
	make_skin("dotted.name");
	fs::create_directories(skin() / "no_config");
	fs::create_directories(skin() / "config_folder" / "config.json");
	make_skin("too_deep/inner");
	write_file(skin() / "plain_file", "{}");
	EXPECT_EQ(list_skins_in(skin()), Ids{"kept"});
}

TEST_F(CatalogueTest, WithoutUsableSkinsOnlyDefaultIsOffered)
{
	EXPECT_EQ(list_skins_in(skin()), Ids{"default"});
	EXPECT_EQ(list_skins_in(fs::path()), Ids{"default"});
	fs::create_directories(skin() / "empty");
	EXPECT_EQ(list_skins_in(skin()), Ids{"default"});
	EXPECT_TRUE(skin_display_names_in(fs::path(), {"default"}).empty());
}

#if defined(CLACKERY_HAVE_FIFOS)
TEST_F(CatalogueTest, NoLinkLeadsOutOfTheSkinFolder)
{
	make_skin("real");
	write_file(dir / "outside" / "config.json", R"({"displayName":"Outside"})");
	write_file(dir / "loose.json", R"({"displayName":"Loose"})");

	fs::create_directory_symlink(dir / "outside", skin() / "link_out");
	fs::create_directory_symlink(skin() / "real", skin() / "link_in");
	fs::create_directories(skin() / "config_out");
	fs::create_symlink(dir / "loose.json", skin() / "config_out" / "config.json");
	write_file(skin() / "config_beside" / "other.json", R"({"displayName":"Beside"})");
	fs::create_symlink(skin() / "config_beside" / "other.json", skin() / "config_beside" / "config.json");
	fs::create_directories(skin() / "config_up");
	fs::create_symlink(skin() / "real" / "config.json", skin() / "config_up" / "config.json");

	EXPECT_EQ(list_skins_in(skin()), (Ids{"config_beside", "real"}));
	EXPECT_TRUE(resolve_skin_config(skin(), "link_out").empty());
	EXPECT_TRUE(resolve_skin_config(skin(), "config_out").empty());
	EXPECT_TRUE(resolve_skin_config(skin(), "config_up").empty());
	EXPECT_TRUE(resolve_skin_config(skin(), "..").empty());
	EXPECT_TRUE(resolve_skin_config(skin(), "../outside").empty());
	EXPECT_EQ(resolve_skin_config(skin(), "real"), fs::canonical(skin() / "real" / "config.json"));
	EXPECT_EQ(skin_display_name(skin(), "link_out"), "link_out");

	// A skin folder reached through a link is fine as long as the skins stay inside it.
	fs::create_directory_symlink(skin(), dir / "skin_link");
	EXPECT_EQ(list_skins_in(dir / "skin_link"), (Ids{"config_beside", "real"}));
}

TEST_F(CatalogueTest, ASkinConfigThatIsAFifoIsNeverOpened)
{
	make_skin("real");
	fs::create_directories(skin() / "fifo");
	make_fifo(skin() / "fifo" / "config.json");
	Ids skins;
	std::string name;
	EXPECT_TRUE(finishes_without_blocking(skin() / "fifo" / "config.json", [&] {
		skins = list_skins_in(skin());
		name = skin_display_name(skin(), "fifo");
	}));
	EXPECT_EQ(skins, Ids{"real"});
	EXPECT_EQ(name, "fifo");
}
#endif

TEST_F(CatalogueTest, SkinDisplayNames)
{
	make_skin("navy_gold", R"({"colors":{"key":"#123"}})");
	make_skin("porcelain", "not json");
	make_skin("ice_glass", R"({"displayName":"氷"})");
	make_skin("default", "{}");
	make_skin("cute_bunny", R"({"other":1})");
	make_skin("tiny", "{");
	make_skin("bad_name", R"({"displayName":"\u200B"})");
	make_skin("oversize", R"({"displayName":"x"})" + std::string(kMaxDisplayNameDocumentBytes, ' '));
	const std::map<std::string, std::string> names =
	    skin_display_names_in(skin(), {"navy_gold", "porcelain", "ice_glass", "default", "cute_bunny", "tiny",
					   "bad_name", "oversize", "missing"});
	EXPECT_EQ(names, (std::map<std::string, std::string>{{"navy_gold", "紺と淡い金"},
							     {"porcelain", "porcelain"},
							     {"ice_glass", "氷"},
							     {"default", "配置の例（四角）"},
							     {"cute_bunny", "cute_bunny"},
							     {"tiny", "tiny"},
							     {"bad_name", "bad_name"},
							     {"oversize", "oversize"},
							     {"missing", "missing"}}));
	EXPECT_EQ(builtin_skin_name("cute_bunny"), "cute_bunny");
}

TEST_F(CatalogueTest, SheetsListTheWellKnownOnesFirst)
{
	make_sheet("photoshop.json");
	make_sheet("clipstudio.json");
	make_sheet("aaa.json", "{}");
	make_sheet("SAI.json");
	make_sheet("zzz.json");
	EXPECT_EQ(list_shortcut_sheets_in(sheets()), (Ids{"none", "clipstudio", "photoshop", "SAI", "aaa", "zzz"}));
	make_sheet("sai.json");
	EXPECT_EQ(list_shortcut_sheets_in(sheets()),
		  (Ids{"none", "clipstudio", "sai", "photoshop", "SAI", "aaa", "zzz"}));
}

TEST_F(CatalogueTest, SheetsThatAreNotObjectsOfStringsAreLeftOut)
{
	make_sheet("kept.json");
	make_sheet("none.json");
	make_sheet("number.json", R"({"Ctrl+KeyZ":"元に戻す","KeyB":5})");
	make_sheet("nested.json", R"({"KeyB":{"x":"y"}})");
	make_sheet("array.json", R"(["KeyB"])");
	make_sheet("broken.json", R"({"KeyB":"x")");
	make_sheet("one_byte.json", "{");
	make_sheet("upper.JSON");
	make_sheet("with space.json");
	make_sheet("no_extension");
	make_sheet("oversize.json", R"({"KeyB":"x"})" + std::string(1048576, ' '));
	fs::create_directories(sheets() / "folder.json");
	EXPECT_EQ(list_shortcut_sheets_in(sheets()), (Ids{"none", "kept"}));
	EXPECT_EQ(list_shortcut_sheets_in(dir / "missing"), Ids{"none"});
}

#if defined(CLACKERY_HAVE_FIFOS)
TEST_F(CatalogueTest, LinkedOrFifoSheetsAreLeftOut)
{
	make_sheet("kept.json");
	write_file(dir / "elsewhere.json", R"({"KeyB":"x"})");
	fs::create_symlink(dir / "elsewhere.json", sheets() / "linked.json");
	make_fifo(sheets() / "fifo.json");
	Ids listed;
	EXPECT_TRUE(
	    finishes_without_blocking(sheets() / "fifo.json", [&] { listed = list_shortcut_sheets_in(sheets()); }));
	EXPECT_EQ(listed, (Ids{"none", "kept"}));
}
#endif

TEST_F(CatalogueTest, StartUpCorrectsSkinAndSheetSettings)
{
	struct {
		const char *skin;
		Ids skins;
		const char *expected;
	} skins[] = {
	    {"cute_bunny", {"cute_bunny", "default"}, "cute_bunny"},
	    {"cute_bunny", {"default"}, "default"},
	    {"Cute_Bunny", {"cute_bunny", "default"}, "default"},
	};
	for (const auto &c : skins) {
		SCOPED_TRACE(c.skin);
		load_settings_text(std::string(R"({"skin":")") + c.skin + "\"}");
		correct_skin_setting(core.settings, c.skins);
		EXPECT_EQ(setting("skin"), c.expected);
		release_settings(core.settings);
	}

	struct {
		const char *sheet;
		Ids sheets;
		const char *expected;
	} sheet_cases[] = {
	    {"sai", {"none", "clipstudio", "sai"}, "sai"},
	    {"gone", {"none", "clipstudio", "sai"}, "clipstudio"},
	    {"gone", {"none", "sai"}, "none"},
	    {"none", {"none"}, "none"},
	};
	for (const auto &c : sheet_cases) {
		SCOPED_TRACE(c.sheet);
		load_settings_text(std::string(R"({"shortcuts":")") + c.sheet + "\"}");
		correct_shortcuts_setting(core.settings, c.sheets);
		EXPECT_EQ(setting("shortcuts"), c.expected);
		release_settings(core.settings);
	}
}

TEST_F(CatalogueTest, TextLayoutFallsBackToTheDefaultLayout)
{
	const fs::path layouts = dir / "layouts";
	write_file(layouts / "jis_tkl.json", layout_with_keys(key("IntlYen", "\\u00a5", "|")));
	write_file(layouts / "us_tkl.json", layout_with_keys(key("KeyA", "A", "A") + "," + key("KeyB", "B", "B")));

	load_settings_text(R"({"layout":"us_tkl"})");
	load_text_layout_from(core.settings, layouts);
	EXPECT_EQ(setting("layout"), "us_tkl");
	EXPECT_EQ(text_layout().size(), 2U);
	release_settings(core.settings);

	load_settings_text(R"({"layout":"gone"})");
	load_text_layout_from(core.settings, layouts);
	EXPECT_EQ(setting("layout"), "jis_tkl");
	ASSERT_EQ(text_layout().size(), 1U);
	EXPECT_EQ(text_layout()[0].code, "IntlYen");
	EXPECT_EQ(log.count(LOG_WARNING, "[clackery] text layout unavailable"), 0);
}

TEST_F(CatalogueTest, NoUsableLayoutWarnsAndInstallsNothing)
{
	write_file(dir / "layouts" / "jis_tkl.json", R"({"rows":[]})");
	write_file(dir / "layouts" / "us_tkl.json", layout_with_keys(key("KeyA")));
	install_text_layout({{"KeyA", "A", "A"}});
	load_settings_text(R"({"layout":"gone"})");
	load_text_layout_from(core.settings, dir / "layouts");
	EXPECT_EQ(setting("layout"), "jis_tkl");
	EXPECT_TRUE(text_layout().empty());
	EXPECT_EQ(log.count(LOG_WARNING, "[clackery] text layout unavailable"), 1);
}

TEST_F(CatalogueTest, SoundPackSettingNamesADiscoveredPack)
{
	const fs::path sounds = dir / "sounds";
	write_file(sounds / "kachi" / "pack.json", R"({"displayName":"カチカチ"})");
	write_file(sounds / "kachi" / "normal.wav", wav::file(wav::Format{}, 200));

	load_settings_text(R"({"sound_pack":"kachi"})");
	EXPECT_EQ(load_sound_packs_from(core.settings, sounds),
		  (std::map<std::string, std::string>{{"kachi", "カチカチ"}}));
	EXPECT_EQ(setting("sound_pack"), "kachi");
	release_settings(core.settings);

	// The default replaces a missing pack even when the default pack is missing too.
	load_settings_text(R"({"sound_pack":"gone"})");
	load_sound_packs_from(core.settings, sounds);
	EXPECT_EQ(setting("sound_pack"), "shizuka");
	release_settings(core.settings);

	load_settings_text(R"({"sound_pack":"kachi"})");
	EXPECT_TRUE(load_sound_packs_from(core.settings, dir / "missing").empty());
	EXPECT_EQ(setting("sound_pack"), "shizuka");
}

// The shipped data (the build's staged folder) passes every check of the catalogues.
TEST(ShippedCatalogues, SheetsAndSkinsOfTheStagedDataFolder)
{
	const fs::path data = fs::u8path(CLACKERY_DATA_STAGE);
	EXPECT_EQ(list_shortcut_sheets_in(data / "shortcuts"), (Ids{"none", "clipstudio", "sai", "photoshop"}));

	// Whatever skins are staged: every real folder is offered, in skin order.
	Ids staged;
	std::error_code ec;
	for (fs::directory_iterator it(data / "skin", ec), end; !ec && it != end; it.increment(ec)) {
		if (it->is_directory() && !it->is_symlink())
			staged.push_back(it->path().filename().u8string());
	}
	Ids expected;
	for (std::string_view known : SKIN_ORDER) {
		if (std::find(staged.begin(), staged.end(), known) != staged.end())
			expected.emplace_back(known);
	}
	Ids others;
	for (const std::string &id : staged) {
		if (skin_rank(id) == SKIN_ORDER.size())
			others.push_back(id);
	}
	std::sort(others.begin(), others.end());
	expected.insert(expected.end(), others.begin(), others.end());
	if (expected.empty())
		expected.emplace_back("default");
	EXPECT_EQ(list_skins_in(data / "skin"), expected);

	// Every staged skin's description passes our reader and gives it a name of its own.
	for (const std::string &id : staged) {
		SCOPED_TRACE(id);
		const fs::path config = resolve_skin_config(data / "skin", id);
		ASSERT_FALSE(config.empty());
		std::ifstream in(config, std::ios::binary);
		const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
		const DisplayNameDocument doc = read_display_name_document(bytes);
		EXPECT_TRUE(doc.ok);
		EXPECT_TRUE(!doc.display_name.empty() || builtin_skin_name(id) != id);
	}
}
