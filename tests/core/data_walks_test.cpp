// The four walks over the data folder (layouts, skins, shortcut sheets, sound packs) with what a
// Japanese user's Windows brings: a data folder under a Japanese user name, Japanese ids, ids that
// differ only in case, links out of the folder and names without a UTF-8 form. Runs on Linux and,
// built for Windows, under Wine, where the links come from the wine_links fixture (Wine cannot
// make them itself).

#include "common/files.h"
#include "core/catalogue_files.h"
#include "layouts/json_builders.h"
#include "layouts/layout_files.h"
#include "sounds/sound_packs.h"
#include "sounds/wav_builder.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace clackery;
namespace fs = std::filesystem;

namespace {

using Ids = std::vector<std::string>;

// "ゆうき", "日本語" and "桜" in UTF-8, independent of the source file's encoding.
const std::string kUserName = "\xE3\x82\x86\xE3\x81\x86\xE3\x81\x8D";
const std::string kJapaneseId = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
const std::string kSakura = "\xE6\xA1\x9C";

const std::string kLayout = layout_with_keys(key("KeyA", "a", "A"));
const std::string kSkin = R"({"displayName":"Skin"})";
const std::string kSheet = R"({"Ctrl+KeyZ":"undo"})";
const std::string kWav = wav::file(wav::Format{}, 2000);

bool is_object_text(const std::string &bytes)
{
	return bytes.front() == '{' && bytes.back() == '}';
}

std::vector<std::string> pack_ids(const SoundPackTable &table)
{
	Ids out;
	for (const auto &entry : table)
		out.push_back(entry.first);
	return out;
}

void write_pack(const fs::path &dir)
{
	write_file(dir / "pack.json", R"({"displayName":"Pack"})");
	write_file(dir / "normal.wav", kWav);
}

class DataWalkTest : public testing::Test {
protected:
	// <temp>/ゆうき/data, built from UTF-8 as libobs hands it over.
	fs::path user_folder() const { return path_from_utf8(path_to_utf8(temp.path()).value() + "/" + kUserName); }
	fs::path data() const { return user_folder() / "data"; }
	fs::path in_data(const std::string &utf8) const
	{
		return path_from_utf8(path_to_utf8(data()).value() + "/" + utf8);
	}

	TempDir temp;
};

// The links of LinksOutOfTheDataFolderAreRefused, made by tests/support/make_data_links.sh
// under Wine and here otherwise; false when this platform lets us make none.
bool make_links(const fs::path &user)
{
	struct Link {
		const char *link;
		const char *target;
		bool folder; // Windows makes links to folders apart
	};
	const Link links[] = {{"data/skin/linked_skin", "../../outside/skin", true},
			      {"data/skin/config_out/config.json", "../../../outside/skin/config.json", false},
			      {"data/sounds/linked_pack", "../../outside/pack", true},
			      {"data/sounds/normal_out/normal.wav", "../../../outside/pack/normal.wav", false},
			      {"data/layouts/outside.json", "../../outside/layout.json", false},
			      {"data/shortcuts/linked.json", "../../outside/sheet.json", false}};
	std::error_code ec;
	for (const Link &link : links) {
		const fs::path at = user / fs::path(link.link).make_preferred();
		fs::create_directories(at.parent_path(), ec);
		const fs::path target = fs::path(link.target).make_preferred();
		if (link.folder)
			fs::create_directory_symlink(target, at, ec);
		else
			fs::create_symlink(target, at, ec);
		if (ec)
			return false;
	}
	return true;
}

} // namespace

TEST_F(DataWalkTest, JapaneseIdsInAFolderUnderAJapaneseUserName)
{
	write_file(in_data("layouts/" + kJapaneseId + ".json"), kLayout);
	write_file(in_data("layouts/jis_tkl.json"), kLayout);
	write_file(in_data("skin/" + kSakura + "/config.json"), R"({"displayName":")" + kSakura + R"("})");
	write_file(in_data("skin/default/config.json"), kSkin);
	write_file(in_data("shortcuts/" + kJapaneseId + ".json"), kSheet);
	write_pack(data() / "sounds" / "shizuka");

	EXPECT_EQ(list_layouts_in(data() / "layouts"), (Ids{"jis_tkl", kJapaneseId}));
	EXPECT_EQ(load_layout_from(data() / "layouts", kJapaneseId).size(), 1U);
	EXPECT_EQ(list_skins_in(data() / "skin"), (Ids{"default", kSakura}));
	EXPECT_EQ(skin_display_name(data() / "skin", kSakura), kSakura);
	EXPECT_EQ(list_shortcut_sheets_in(data() / "shortcuts", is_object_text), (Ids{"none", kJapaneseId}));
	EXPECT_EQ(pack_ids(discover_sound_packs(data() / "sounds")), Ids{"shizuka"});
}

// NTFS finds "US.json" when asked for "us.json". An id names only the entry spelled as it is,
// on every platform, so the dock, the settings and the page never disagree on its spelling.
TEST_F(DataWalkTest, IdsThatDifferOnlyInCaseNameNothing)
{
	write_file(data() / "layouts" / "US.json", kLayout);
	write_file(data() / "skin" / "Pop" / "config.json", kSkin);

	EXPECT_EQ(list_layouts_in(data() / "layouts"), Ids{"US"});
	EXPECT_EQ(load_layout_from(data() / "layouts", "US").size(), 1U);
	EXPECT_TRUE(load_layout_from(data() / "layouts", "us").empty());
	EXPECT_TRUE(load_layout_from(data() / "layouts", "Us").empty());
	EXPECT_EQ(list_skins_in(data() / "skin"), Ids{"Pop"});
	EXPECT_FALSE(resolve_skin_config(data() / "skin", "Pop").empty());
	EXPECT_TRUE(resolve_skin_config(data() / "skin", "pop").empty());
	EXPECT_EQ(skin_display_name(data() / "skin", "pop"), "pop");
}

TEST_F(DataWalkTest, LinksOutOfTheDataFolderAreRefused)
{
	fs::path user = user_folder();
	// Wine shows a Unix link to a folder as a reparse point, as Windows shows a junction, but a
	// link to a file as a plain file: from inside Wine it cannot be told apart.
	const char *prepared = std::getenv("CLACKERY_DATA_LINKS");
	const bool file_links_visible = prepared == nullptr;
	if (prepared)
		user = path_from_utf8(std::string(prepared) + "/" + kUserName);
	else if (!make_links(user))
		GTEST_SKIP() << "no links on this system (Windows without the right to make them)";
	const fs::path data = user / "data";

	// What the links point at: valid data, outside the data folder.
	write_file(user / "outside" / "skin" / "config.json", kSkin);
	write_pack(user / "outside" / "pack");
	write_file(user / "outside" / "layout.json", kLayout);
	write_file(user / "outside" / "sheet.json", kSheet);
	write_file(data / "sounds" / "normal_out" / "pack.json", R"({"displayName":"Pack"})");
	// And the same data inside, which is offered.
	write_file(data / "skin" / "real" / "config.json", kSkin);
	write_pack(data / "sounds" / "real_pack");
	write_file(data / "layouts" / "real.json", kLayout);
	write_file(data / "shortcuts" / "real.json", kSheet);

	EXPECT_EQ(own_file_type(data / "skin" / "linked_skin"), fs::file_type::symlink);
	EXPECT_EQ(own_file_type(data / "sounds" / "linked_pack"), fs::file_type::symlink);
	EXPECT_TRUE(resolve_skin_config(data / "skin", "linked_skin").empty());
	EXPECT_EQ(discover_sound_packs(data / "sounds").count("linked_pack"), 0U);
	const Ids skins = list_skins_in(data / "skin");
	EXPECT_EQ(std::count(skins.begin(), skins.end(), "linked_skin"), 0);
	EXPECT_EQ(std::count(skins.begin(), skins.end(), "real"), 1);
	if (!file_links_visible)
		return;
	EXPECT_EQ(own_file_type(data / "layouts" / "outside.json"), fs::file_type::symlink);
	EXPECT_EQ(list_skins_in(data / "skin"), Ids{"real"});
	EXPECT_TRUE(resolve_skin_config(data / "skin", "config_out").empty());
	EXPECT_EQ(pack_ids(discover_sound_packs(data / "sounds")), Ids{"real_pack"});
	EXPECT_EQ(list_layouts_in(data / "layouts"), Ids{"real"});
	EXPECT_TRUE(load_layout_from(data / "layouts", "outside").empty());
	EXPECT_EQ(list_shortcut_sheets_in(data / "shortcuts", is_object_text), (Ids{"none", "real"}));
}

// An entry whose name has no UTF-8 form is skipped by every walk, without an exception.
TEST_F(DataWalkTest, NamesWithoutAUtf8FormAreSkipped)
{
#if defined(_WIN32)
	// A lone UTF-16 surrogate: NTFS takes it, Wine refuses to make such a name.
	const fs::path::string_type bad = fs::path::string_type(L"bad") + wchar_t(0xD800);
#else
	const fs::path::string_type bad = "bad\xFF";
#endif
	fs::create_directories(data() / "layouts");
	if (!std::ofstream(data() / "layouts" / (bad + fs::path(".json").native())))
		GTEST_SKIP() << "this file system refuses names without a UTF-8 form";
	write_file(data() / "layouts" / (bad + fs::path(".json").native()), kLayout);
	write_file(data() / "skin" / bad / "config.json", kSkin);
	write_file(data() / "shortcuts" / (bad + fs::path(".json").native()), kSheet);
	write_pack(data() / "sounds" / bad);
	write_file(data() / "layouts" / "ok.json", kLayout);

	EXPECT_EQ(list_layouts_in(data() / "layouts"), Ids{"ok"});
	EXPECT_EQ(list_skins_in(data() / "skin"), Ids{"default"});
	EXPECT_EQ(list_shortcut_sheets_in(data() / "shortcuts", is_object_text), Ids{"none"});
	EXPECT_TRUE(discover_sound_packs(data() / "sounds").empty());
}
