#include "layouts/fs_fixtures.h"
#include "sounds/sound_packs.h"
#include "sounds/wav.h"
#include "sounds/wav_builder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace clackery;
namespace fs = std::filesystem;

namespace {

const std::string kWav = wav::file(wav::Format{}, 2000);

std::string description(const std::string &name)
{
	return R"({"displayName":")" + name + R"(","author":{"x":[1,2]}})";
}

// A pack folder holding a description and the given sound files, all valid.
fs::path make_pack(const fs::path &root, const std::string &id, const std::vector<std::string> &sounds,
		   const std::string &name = "Pack")
{
	const fs::path dir = root / id;
	write_file(dir / "pack.json", description(name));
	for (const std::string &sound : sounds)
		write_file(dir / sound, kWav);
	return dir;
}

std::vector<std::string> ids(const SoundPackTable &table)
{
	std::vector<std::string> out;
	for (const auto &entry : table)
		out.push_back(entry.first);
	return out;
}

// A valid WAV of exactly `size` bytes: a LIST chunk fills the space after the sound.
std::string wav_of_size(std::size_t size)
{
	const std::string sound =
	    wav::chunk("fmt ", wav::fmt_body(wav::Format{})) + wav::chunk("data", wav::samples(100));
	const std::size_t filler = size - 12 - sound.size() - 8;
	return wav::riff(sound + wav::chunk("LIST", std::string(filler, 'x')));
}

const std::vector<std::string> kAllSounds = {"normal.wav",    "normal_2.wav",    "normal_3.wav",    "normal_4.wav",
					     "space.wav",     "space_2.wav",     "space_3.wav",     "space_4.wav",
					     "enter.wav",     "enter_2.wav",     "enter_3.wav",     "enter_4.wav",
					     "backspace.wav", "backspace_2.wav", "backspace_3.wav", "backspace_4.wav"};

} // namespace

TEST(SoundPacks, PackIdsAreLowerCaseAsciiLettersDigitsAndUnderscores)
{
	TempDir root;
	for (const char *id :
	     {"soft_keys2", "a", "Soft", "soft-keys", "\xE3\x81\x97\xE3\x81\x9A\xE3\x81\x8B", "soft.keys", "soft keys"})
		make_pack(root.path(), id, {"normal.wav"});
	make_pack(root.path(), std::string(128, 'x'), {"normal.wav"});
	make_pack(root.path(), std::string(129, 'y'), {"normal.wav"});
	EXPECT_EQ(ids(discover_sound_packs(root.path())),
		  (std::vector<std::string>{"a", "soft_keys2", std::string(128, 'x')}));
}

TEST(SoundPacks, DescriptionMustNameThePack)
{
	TempDir root;
	make_pack(root.path(), "named", {"normal.wav"}, "しずか");
	const struct {
		const char *id;
		std::string json;
	} bad[] = {
	    {"no_name", R"({"author":"x"})"},
	    {"twice", R"({"displayName":"a","displayName":"b"})"},
	    {"blank", R"({"displayName":" \u3000 "})"},
	    {"long", R"({"displayName":")" + std::string(81, 'a') + "\"}"},
	    {"not_json", "displayName = x"},
	    {"empty_file", ""},
	};
	for (const auto &b : bad) {
		make_pack(root.path(), b.id, {"normal.wav"});
		write_file(root / b.id / "pack.json", b.json);
	}
	make_pack(root.path(), "missing", {"normal.wav"});
	fs::remove(root / "missing" / "pack.json");
	make_pack(root.path(), "oversize", {"normal.wav"});
	write_file(root / "oversize" / "pack.json", description("x") + std::string(kMaxPackJsonBytes, ' '));

	const SoundPackTable table = discover_sound_packs(root.path());
	ASSERT_EQ(ids(table), std::vector<std::string>{"named"});
	EXPECT_EQ(table.at("named").displayName, "しずか");
}

TEST(SoundPacks, NormalWavIsRequiredAndOtherSoundsFollowInFixedOrder)
{
	TempDir root;
	make_pack(root.path(), "two", {"space_3.wav", "normal.wav"});
	make_pack(root.path(), "all", kAllSounds);
	make_pack(root.path(), "no_normal", {"space.wav", "enter.wav"});
	make_pack(root.path(), "bad_normal", {"space.wav"});
	write_file(root / "bad_normal" / "normal.wav", "RIFF but not really");
	make_pack(root.path(), "odd_names", {"normal.wav", "normal_5.wav", "Space.wav", "space.WAV", "tab.wav"});
	make_pack(root.path(), "bad_optional", {"normal.wav", "enter.wav"});
	wav::Format wrong_align;
	wrong_align.block_align = 4;
	write_file(root / "bad_optional" / "space.wav", wav::file(wrong_align, 400));
	write_file(root / "bad_optional" / "enter_2.wav", "");

	const SoundPackTable table = discover_sound_packs(root.path());
	EXPECT_EQ(ids(table), (std::vector<std::string>{"all", "bad_optional", "odd_names", "two"}));
	EXPECT_EQ(table.at("two").files, (std::vector<std::string>{"normal.wav", "space_3.wav"}));
	EXPECT_EQ(table.at("all").files, kAllSounds);
	EXPECT_EQ(table.at("odd_names").files, std::vector<std::string>{"normal.wav"});
	EXPECT_EQ(table.at("bad_optional").files, (std::vector<std::string>{"normal.wav", "enter.wav"}));
}

TEST(SoundPacks, FilesOverTheLimitAreRefusedWhateverTheyHold)
{
	TempDir root;
	const std::string at_limit = wav_of_size(kMaxSoundFileBytes);
	const std::string over = wav_of_size(kMaxSoundFileBytes + 2);
	ASSERT_TRUE(is_acceptable_wav(at_limit));
	ASSERT_TRUE(is_acceptable_wav(over));
	make_pack(root.path(), "big", {"normal.wav"});
	write_file(root / "big" / "space.wav", at_limit);
	write_file(root / "big" / "enter.wav", over);
	make_pack(root.path(), "too_big", {});
	write_file(root / "too_big" / "normal.wav", over);

	const SoundPackTable table = discover_sound_packs(root.path());
	EXPECT_EQ(ids(table), std::vector<std::string>{"big"});
	EXPECT_EQ(table.at("big").files, (std::vector<std::string>{"normal.wav", "space.wav"}));
	EXPECT_EQ(read_pack_file(fs::canonical(root / "big"), "enter.wav", kMaxSoundFileBytes), "");
}

TEST(SoundPacks, ReadPackFileStaysInsideItsFolder)
{
	TempDir root;
	const fs::path dir = fs::canonical(make_pack(root.path(), "p", {"normal.wav"}));
	write_file(root / "outside.wav", kWav);
	write_file(dir / "empty.wav", "");
	EXPECT_EQ(read_pack_file(dir, "normal.wav", kMaxSoundFileBytes), kWav);
	EXPECT_EQ(read_pack_file(dir, "normal.wav", kWav.size() - 1), "");
	EXPECT_EQ(read_pack_file(dir, "empty.wav", kMaxSoundFileBytes), "");
	EXPECT_EQ(read_pack_file(dir, "missing.wav", kMaxSoundFileBytes), "");
	EXPECT_EQ(read_pack_file(dir, "../outside.wav", kMaxSoundFileBytes), "");
	EXPECT_EQ(read_pack_file(dir, ".", kMaxSoundFileBytes), "");
}

TEST(SoundPacks, MissingOrEmptyRootGivesNoPacks)
{
	TempDir root;
	EXPECT_TRUE(discover_sound_packs(root.path()).empty());
	EXPECT_TRUE(discover_sound_packs(root / "missing").empty());
	EXPECT_TRUE(discover_sound_packs(fs::path()).empty());
	write_file(root / "file", "x");
	EXPECT_TRUE(discover_sound_packs(root / "file").empty());
}

#if defined(CLACKERY_HAVE_FIFOS)
TEST(SoundPacks, LinksAreRefusedWhereverTheyAre)
{
	TempDir base;
	const fs::path root = base / "sounds";
	const fs::path elsewhere = make_pack(base.path(), "elsewhere", kAllSounds);

	make_pack(root, "linked_normal", {"space.wav"});
	fs::create_symlink(elsewhere / "normal.wav", root / "linked_normal" / "normal.wav");
	make_pack(root, "linked_optional", {"normal.wav"});
	fs::create_symlink(elsewhere / "space.wav", root / "linked_optional" / "space.wav");
	// A link to a file of the same folder is still a link.
	fs::create_symlink(root / "linked_optional" / "normal.wav", root / "linked_optional" / "enter.wav");
	make_pack(root, "linked_description", {"normal.wav"});
	fs::remove(root / "linked_description" / "pack.json");
	fs::create_symlink(elsewhere / "pack.json", root / "linked_description" / "pack.json");
	fs::create_directory_symlink(elsewhere, root / "linked_pack");
	fs::create_directory_symlink(root / "linked_optional", root / "inner_link");
	make_pack(root, "folder_normal", {});
	fs::create_directories(root / "folder_normal" / "normal.wav");

	const SoundPackTable table = discover_sound_packs(root);
	EXPECT_EQ(ids(table), std::vector<std::string>{"linked_optional"});
	EXPECT_EQ(table.at("linked_optional").files, std::vector<std::string>{"normal.wav"});

	// The root itself must be a real folder.
	fs::create_directory_symlink(root, base / "sounds_link");
	EXPECT_TRUE(discover_sound_packs(base / "sounds_link").empty());
}

TEST(SoundPacks, FifosAreNeverOpened)
{
	TempDir root;
	make_pack(root.path(), "fifo_normal", {});
	make_fifo(root / "fifo_normal" / "normal.wav");
	make_pack(root.path(), "fifo_optional", {"normal.wav"});
	make_fifo(root / "fifo_optional" / "space.wav");
	make_pack(root.path(), "fifo_description", {"normal.wav"});
	fs::remove(root / "fifo_description" / "pack.json");
	make_fifo(root / "fifo_description" / "pack.json");

	SoundPackTable table;
	EXPECT_TRUE(finishes_without_blocking(root / "fifo_normal" / "normal.wav",
					      [&] { table = discover_sound_packs(root.path()); }));
	EXPECT_EQ(ids(table), std::vector<std::string>{"fifo_optional"});
	EXPECT_EQ(table.at("fifo_optional").files, std::vector<std::string>{"normal.wav"});
}
#endif

TEST(SoundPacks, TheInstalledTableAnswersForTheState)
{
	TempDir root;
	make_pack(root.path(), "b", {"normal.wav", "enter.wav"}, "Bee");
	make_pack(root.path(), "a", {"normal.wav"}, "Ay");
	install_sound_packs(discover_sound_packs(root.path()));

	EXPECT_EQ(sound_pack_names(), (std::map<std::string, std::string>{{"a", "Ay"}, {"b", "Bee"}}));
	EXPECT_EQ(resolve_sound_pack("b"), "b");
	EXPECT_EQ(resolve_sound_pack("B"), "shizuka");
	EXPECT_EQ(resolve_sound_pack(""), "shizuka");
	EXPECT_EQ(sound_pack_files("b"), (std::vector<std::string>{"normal.wav", "enter.wav"}));
	EXPECT_TRUE(sound_pack_files("shizuka").empty());

	install_sound_packs({});
	EXPECT_EQ(resolve_sound_pack("b"), "shizuka");
	EXPECT_TRUE(sound_pack_names().empty());
}
