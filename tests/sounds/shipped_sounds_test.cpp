// The sound packs that the build generates pass our own checks, every file of them.
#include "sounds/sound_packs.h"
#include "sounds/wav.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace clackery;
namespace fs = std::filesystem;

TEST(ShippedSounds, EveryPackIsDiscoveredWithAllSixteenSounds)
{
	const fs::path root = fs::u8path(CLACKERY_DATA_STAGE) / "sounds";
	ASSERT_TRUE(fs::is_directory(root)) << root;
	const SoundPackTable table = discover_sound_packs(root);

	std::map<std::string, std::string> names;
	for (const auto &[id, pack] : table) {
		names[id] = pack.displayName;
		EXPECT_EQ(pack.files.size(), 16U) << id;
		EXPECT_EQ(pack.files.front(), "normal.wav");
	}
	EXPECT_EQ(names, (std::map<std::string, std::string>{
			     {"kachi", "カチカチ"}, {"pokopoko", "ぽこぽこ"}, {"shizuka", "しずか"}}));

	std::size_t wav_files = 0;
	for (const fs::directory_entry &pack : fs::directory_iterator(root)) {
		for (const fs::directory_entry &file : fs::directory_iterator(pack.path())) {
			if (file.path().extension() != ".wav")
				continue;
			std::ifstream in(file.path(), std::ios::binary);
			const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
			EXPECT_TRUE(is_acceptable_wav(bytes)) << file.path();
			++wav_files;
		}
	}
	EXPECT_EQ(wav_files, 48U);
}
