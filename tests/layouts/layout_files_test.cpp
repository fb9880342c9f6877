#include "layouts/fs_fixtures.h"
#include "layouts/json_builders.h"
#include "layouts/layout_document.h"
#include "layouts/layout_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace clackery;
namespace fs = std::filesystem;

namespace {

const std::string kOneKey = layout_with_keys(key("KeyA", "A", "A"));

} // namespace

TEST(LayoutFiles, ListsUsableLayoutsInByteOrder)
{
	TempDir dir;
	write_file(dir / "us_tkl.json", kOneKey);
	write_file(dir / "Zed.json", kOneKey);
	write_file(dir / "jis-2.json", kOneKey);
	write_file(dir / "\xE6\x97\xA5\xE6\x9C\xAC.json", kOneKey); // 日本
	write_file(dir / "upper.JSON", kOneKey);
	write_file(dir / "with space.json", kOneKey);
	write_file(dir / "dotted.name.json", kOneKey);
	write_file(dir / "no_extension", kOneKey);
	write_file(dir / "empty.json", "");
	write_file(dir / "no_rows.json", R"({"rows":[]})");
	write_file(dir / "no_keys.json", "{}");
	write_file(dir / "twice.json", layout_with_keys(key("KeyA") + "," + key("KeyA")));
	write_file(dir / "broken.json", "{\"rows\":[");
	write_file(dir / "huge.json", kOneKey + std::string(kMaxLayoutDocumentBytes, ' '));
	fs::create_directories(dir / "folder.json");
	write_file(dir / "sub" / "nested.json", kOneKey);

	// Bytes decide: upper case before lower case, non-ASCII last.
	EXPECT_EQ(list_layouts_in(dir.path()),
		  (std::vector<std::string>{"Zed", "jis-2", "us_tkl", "\xE6\x97\xA5\xE6\x9C\xAC"}));
}

TEST(LayoutFiles, WithoutUsableLayoutsOnlyTheDefaultIsOffered)
{
	TempDir dir;
	const std::vector<std::string> fallback{"jis_tkl"};
	EXPECT_EQ(list_layouts_in(dir.path()), fallback);
	EXPECT_EQ(list_layouts_in(dir / "missing"), fallback);
	EXPECT_EQ(list_layouts_in(fs::path()), fallback);
	write_file(dir / "jis_tkl.json", "");
	EXPECT_EQ(list_layouts_in(dir.path()), fallback);
	EXPECT_TRUE(load_layout_from(dir.path(), "jis_tkl").empty());
}

TEST(LayoutFiles, LoadsOnlyValidIdsInsideTheFolder)
{
	TempDir dir;
	write_file(dir / "layouts" / "us.json", kOneKey);
	write_file(dir / "outside.json", kOneKey);
	const fs::path layouts = dir / "layouts";

	const std::vector<LayoutEntry> entries = load_layout_from(layouts, "us");
	ASSERT_EQ(entries.size(), 1U);
	EXPECT_EQ(entries[0].code, "KeyA");
	for (const char *id : {"../outside", "", "us.json", "US", "u s", "/us"}) {
		SCOPED_TRACE(id);
		EXPECT_TRUE(load_layout_from(layouts, id).empty());
	}
	EXPECT_TRUE(load_layout_from(fs::path(), "us").empty());
}

TEST(LayoutFiles, SizeLimitIsInclusive)
{
	TempDir dir;
	write_file(dir / "full.json", kOneKey + std::string(kMaxLayoutDocumentBytes - kOneKey.size(), '\n'));
	write_file(dir / "over.json", kOneKey + std::string(kMaxLayoutDocumentBytes - kOneKey.size() + 1, '\n'));
	EXPECT_EQ(load_layout_from(dir.path(), "full").size(), 1U);
	EXPECT_TRUE(load_layout_from(dir.path(), "over").empty());
}

#if defined(CLACKERY_HAVE_FIFOS)
TEST(LayoutFiles, FifosAndFoldersAreNeverOpened)
{
	TempDir dir;
	make_fifo(dir / "jis_tkl.json");
	fs::create_directories(dir / "us_tkl.json");
	write_file(dir / "ok.json", kOneKey);
	std::vector<std::string> listed;
	EXPECT_TRUE(finishes_without_blocking(dir / "jis_tkl.json", [&] {
		EXPECT_TRUE(load_layout_from(dir.path(), "jis_tkl").empty());
		listed = list_layouts_in(dir.path());
	}));
	EXPECT_EQ(listed, std::vector<std::string>{"ok"});
	EXPECT_TRUE(load_layout_from(dir.path(), "us_tkl").empty());
}

TEST(LayoutFiles, ALinkIsReadOnlyWhenItStaysInTheFolder)
{
	TempDir dir;
	write_file(dir / "elsewhere" / "real.json", kOneKey);
	write_file(dir / "layouts" / "base.json", kOneKey);
	fs::create_symlink(dir / "layouts" / "base.json", dir / "layouts" / "alias.json");
	fs::create_symlink(dir / "elsewhere" / "real.json", dir / "layouts" / "outside.json");
	fs::create_symlink(dir / "elsewhere" / "gone.json", dir / "layouts" / "dangling.json");
	EXPECT_EQ(list_layouts_in(dir / "layouts"), (std::vector<std::string>{"alias", "base"}));
	EXPECT_EQ(load_layout_from(dir / "layouts", "alias").size(), 1U);
	EXPECT_TRUE(load_layout_from(dir / "layouts", "outside").empty());

	// A layouts folder reached through a link is still the folder.
	fs::create_directory_symlink(dir / "layouts", dir / "via_link");
	EXPECT_EQ(list_layouts_in(dir / "via_link"), (std::vector<std::string>{"alias", "base"}));
	EXPECT_EQ(load_layout_from(dir / "via_link", "base").size(), 1U);
}
#endif
