// How file names cross between libobs's UTF-8 and the platform's names, on Linux and on
// Windows (under Wine), where names are UTF-16 and a char path is read in the ANSI code page.

#include "common/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace clackery;
namespace fs = std::filesystem;

namespace {

// "ゆうき" (a Japanese user name) and "配列" in UTF-8, written out so that the test does not
// depend on the source file's encoding.
const std::string kUserName = "\xE3\x82\x86\xE3\x81\x86\xE3\x81\x8D";
const std::string kLayoutWord = "\xE9\x85\x8D\xE5\x88\x97";

} // namespace

TEST(FileNames, Utf8PathsReachTheFileSystemIntactAndComeBackTheSame)
{
	TempDir dir;
	const std::string folder = path_to_utf8(dir.path()).value() + "/" + kUserName + "/" + kLayoutWord;
	const fs::path path = path_from_utf8(folder);
	fs::create_directories(path);
	write_file(path / "a.json", "{}");

	EXPECT_EQ(read_bounded_file(path_from_utf8(folder + "/a.json"), 1, 10), std::optional<std::string>("{}"));
	EXPECT_EQ(entry_name_utf8(path), std::optional<std::string>(kLayoutWord));
	bool found = false;
	for (const fs::directory_entry &entry : fs::directory_iterator(path_from_utf8(folder).parent_path()))
		found = found || entry_name_utf8(entry.path()) == kLayoutWord;
	EXPECT_TRUE(found) << "the folder made from UTF-8 is listed under the same UTF-8 name";
#if defined(_WIN32)
	// The host's paths may use either separator.
	std::string backslashed = folder + "\\a.json";
	EXPECT_EQ(read_bounded_file(path_from_utf8(backslashed), 1, 10), std::optional<std::string>("{}"));
#endif
}

TEST(FileNames, NamesWithoutAUtf8FormAreRefusedNotThrown)
{
	EXPECT_EQ(entry_name_utf8(path_from_utf8("dir/" + kUserName)), std::optional<std::string>(kUserName));
#if defined(_WIN32)
	// NTFS allows any 16-bit units; Microsoft's library throws from u8string() on a lone
	// surrogate, and mingw's does too.
	const std::wstring lone_high = std::wstring(L"skin") + wchar_t(0xD800);
	const std::wstring lone_low = wchar_t(0xDC00) + std::wstring(L"x.json");
	const std::wstring swapped = std::wstring(L"a") + wchar_t(0xDE00) + wchar_t(0xD83D);
	const std::wstring pair = std::wstring(L"a") + wchar_t(0xD83D) + wchar_t(0xDE00); // U+1F600
	EXPECT_EQ(entry_name_utf8(fs::path(lone_high)), std::nullopt);
	EXPECT_EQ(entry_name_utf8(fs::path(lone_low)), std::nullopt);
	EXPECT_EQ(entry_name_utf8(fs::path(swapped)), std::nullopt);
	EXPECT_EQ(entry_name_utf8(fs::path(pair)), std::optional<std::string>("a\xF0\x9F\x98\x80"));
#else
	// Linux names are bytes; these are not UTF-8 and would reach the page as broken text.
	for (const char *name : {"skin\xFF", "\xE3\x82", "\xC0\xAF", "\xED\xA0\x80x"})
		EXPECT_EQ(entry_name_utf8(fs::path("dir") / name), std::nullopt) << name;
	EXPECT_EQ(entry_name_utf8(fs::path("a\xF0\x9F\x98\x80")), std::optional<std::string>("a\xF0\x9F\x98\x80"));
#endif
}

TEST(FileNames, AnEntryIsNamedOnlyAsItIsSpelled)
{
	TempDir dir;
	write_file(dir / "US.json", "{}");
	fs::create_directories(path_from_utf8(path_to_utf8(dir.path()).value() + "/" + kUserName));
	EXPECT_TRUE(has_entry_named(dir.path(), "US.json"));
	EXPECT_TRUE(has_entry_named(dir.path(), kUserName));
	EXPECT_FALSE(has_entry_named(dir.path(), "us.json"));
	EXPECT_FALSE(has_entry_named(dir.path(), "US.JSON"));
	EXPECT_FALSE(has_entry_named(dir / "missing", "US.json"));
}

TEST(FileNames, OwnTypeSeesFilesAndFoldersAndNothingElse)
{
	TempDir dir;
	write_file(dir / "f.json", "{}");
	EXPECT_EQ(own_file_type(dir / "f.json"), fs::file_type::regular);
	EXPECT_EQ(own_file_type(dir.path()), fs::file_type::directory);
	EXPECT_EQ(own_file_type(dir / "missing"), fs::file_type::not_found);
	EXPECT_EQ(resolved_path(dir / "missing"), std::nullopt);
	EXPECT_EQ(resolved_path(dir / "f.json"), fs::canonical(dir / "f.json"));
}
