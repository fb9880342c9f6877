// The layouts the build stages beside the module pass our own reader.
#include "layouts/layout_files.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace clackery;
namespace fs = std::filesystem;

TEST(ShippedLayouts, EveryFileLoadsAndIsListed)
{
	const fs::path dir = fs::u8path(CLACKERY_DATA_STAGE) / "layouts";
	ASSERT_TRUE(fs::is_directory(dir)) << dir;
	const std::map<std::string, std::size_t> expected{
	    {"jis_full", 109}, {"jis_tkl", 92}, {"us_full", 104}, {"us_tkl", 87}};
	std::map<std::string, std::size_t> found;
	for (const fs::directory_entry &entry : fs::directory_iterator(dir)) {
		const std::string id = entry.path().stem().u8string();
		const std::vector<LayoutEntry> entries = load_layout_from(dir, id);
		EXPECT_FALSE(entries.empty()) << id;
		std::set<std::string> codes;
		for (const LayoutEntry &e : entries) {
			EXPECT_TRUE(codes.insert(e.code).second) << id << " " << e.code;
			EXPECT_FALSE(e.label.empty()) << id << " " << e.code;
		}
		found[id] = entries.size();
	}
	EXPECT_EQ(found, expected);
	EXPECT_EQ(list_layouts_in(dir), (std::vector<std::string>{"jis_full", "jis_tkl", "us_full", "us_tkl"}));
}
