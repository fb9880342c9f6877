// Writes the hand-made WAV seeds: the formats and chunk layouts that the generated packs do
// not use. Usage: clackery_fuzz_seeds OUT_DIR
#include "sounds/wav_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

void write(const std::filesystem::path &path, const std::string &bytes)
{
	std::ofstream out(path, std::ios::binary | std::ios::trunc);
	out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

int main(int argc, char **argv)
{
	if (argc != 2) {
		std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
		return 2;
	}
	const std::filesystem::path dir(argv[1]);
	std::filesystem::create_directories(dir);

	wav::Format mono;
	wav::Format stereo;
	stereo.channels = 2;
	wav::Format extensible;
	extensible.tag = 0xFFFE;
	extensible.channels = 2;
	extensible.rate = 48000;
	const std::string fmt = wav::chunk("fmt ", wav::fmt_body(mono));
	const std::string list = wav::chunk("LIST", "INFOISFTseed");

	write(dir / "mono44.wav", wav::file(mono, 64));
	write(dir / "stereo44.wav", wav::file(stereo, 64));
	write(dir / "extensible48.wav", wav::file(extensible, 64));
	write(dir / "list_around.wav", wav::riff(list + fmt + wav::chunk("data", wav::samples(64)) + list));
	write(dir / "odd_chunk.wav", wav::riff(fmt + wav::chunk("junk", "abc") + wav::chunk("data", wav::samples(8))));
	write(dir / "fact_and_long_fmt.wav",
	      wav::riff(wav::chunk("fmt ", wav::fmt_body(mono) + std::string(2, '\0')) +
			wav::chunk("fact", std::string("\x10\0\0\0", 4)) + wav::chunk("data", wav::samples(32))));
	return 0;
}
