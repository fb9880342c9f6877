#include "sounds/wav.h"
#include "sounds/wav_builder.h"

#include <gtest/gtest.h>

#include <string>

using namespace clackery;

namespace {

wav::Format mono44()
{
	return {};
}

wav::Format stereo44()
{
	wav::Format f;
	f.channels = 2;
	return f;
}

wav::Format extensible()
{
	wav::Format f;
	f.tag = 0xFFFE;
	f.channels = 2;
	f.rate = 48000;
	return f;
}

template <typename Change> wav::Format with(wav::Format f, Change change)
{
	change(f);
	return f;
}

std::string fmt(const wav::Format &f)
{
	return wav::chunk("fmt ", wav::fmt_body(f));
}

std::string data(std::size_t bytes)
{
	return wav::chunk("data", wav::samples(bytes));
}

const std::string kList = wav::chunk("LIST", "INFOISFTtest");

} // namespace

TEST(Wav, AcceptsOnlyShortSixteenBitPcm)
{
	struct {
		const char *what;
		std::string bytes;
		bool accepted;
	} cases[] = {
	    {"one second of 16-bit mono at 44100 Hz", wav::file(mono44(), 88200), true},
	    {"16-bit stereo at 48000 Hz", wav::file(with(stereo44(), [](auto &f) { f.rate = 48000; }), 4), true},
	    {"8-bit samples", wav::file(with(mono44(), [](auto &f) { f.bits = 8; }), 100), false},
	    {"24-bit samples", wav::file(with(mono44(), [](auto &f) { f.bits = 24; }), 99), false},
	    {"22050 Hz", wav::file(with(mono44(), [](auto &f) { f.rate = 22050; }), 100), false},
	    {"three channels", wav::file(with(mono44(), [](auto &f) { f.channels = 3; }), 96), false},
	    {"no channels", wav::file(with(mono44(), [](auto &f) { f.channels = 0; }), 96), false},
	    {"IEEE float tag", wav::file(with(mono44(), [](auto &f) { f.tag = 3; }), 100), false},
	    {"block align not channels x 2", wav::file(with(mono44(), [](auto &f) { f.block_align = 4; }), 100), false},
	    {"byte rate not rate x align", wav::file(with(mono44(), [](auto &f) { f.byte_rate = 88201; }), 100), false},
	    {"stereo data of 176401 bytes", wav::file(stereo44(), 176401), false},
	    {"stereo data of exactly two seconds", wav::file(stereo44(), 352800), true},
	    {"stereo data of two seconds and one frame", wav::file(stereo44(), 352804), false},
	    {"mono data not a whole frame", wav::file(mono44(), 101), false},
	    {"empty data", wav::file(mono44(), 0), false},
	    {"empty data followed by another chunk", wav::riff(fmt(mono44()) + data(0) + kList), false},
	    {"RIFF size one short", wav::riff(fmt(mono44()) + data(100), -1), false},
	    {"RIFF size one over", wav::riff(fmt(mono44()) + data(100), +1), false},
	    {"a LIST chunk before fmt", wav::riff(kList + fmt(mono44()) + data(100)), true},
	    {"a LIST chunk after data", wav::riff(fmt(mono44()) + data(100) + kList), true},
	    {"an odd chunk with its pad byte", wav::riff(fmt(mono44()) + data(100) + wav::chunk("junk", "abc")), true},
	    {"an odd chunk without its pad byte at the end",
	     wav::riff(fmt(mono44()) + data(100) + wav::chunk("junk", "abc", false)), false},
	    {"data before fmt", wav::riff(data(100) + fmt(mono44())), false},
	    {"no data", wav::riff(fmt(mono44())), false},
	    {"no fmt", wav::riff(data(100)), false},
	    {"two fmt chunks", wav::riff(fmt(mono44()) + fmt(mono44()) + data(100)), false},
	    {"two data chunks", wav::riff(fmt(mono44()) + data(100) + data(100)), false},
	    {"a short fmt chunk", wav::riff(wav::chunk("fmt ", wav::fmt_body(mono44()).substr(0, 14)) + data(100)),
	     false},
	    {"a long plain fmt chunk", wav::riff(wav::chunk("fmt ", wav::fmt_body(mono44()) + "\0\0") + data(100)),
	     true},
	    {"a chunk larger than the file", wav::riff(fmt(mono44()) + data(100) + wav::chunk_header("junk", 2)),
	     false},
	    {"a chunk size near 4 GiB", wav::riff(fmt(mono44()) + data(100) + wav::chunk_header("junk", 0xFFFFFFFF)),
	     false},
	    {"a header cut short at the end", wav::riff(fmt(mono44()) + data(100) + "LIS"), false},
	    {"RIFX instead of RIFF", "RIFX" + wav::file(mono44(), 100).substr(4), false},
	    {"not WAVE", wav::file(mono44(), 100).replace(8, 4, "AVI "), false},
	    {"only the RIFF header", wav::riff(""), false},
	    {"eleven bytes", wav::riff("").substr(0, 11), false},
	    {"nothing", "", false},
	    {"extensible PCM", wav::file(extensible(), 192000), true},
	    {"extensible IEEE float", wav::file(with(extensible(), [](auto &f) { f.float_sub_format = true; }), 400),
	     false},
	    {"extensible with 24 valid bits", wav::file(with(extensible(), [](auto &f) { f.valid_bits = 24; }), 400),
	     false},
	    {"extensible with extension size 21",
	     wav::file(with(extensible(), [](auto &f) { f.extension_size = 21; }), 400), false},
	    {"extensible with extension size past the chunk",
	     wav::file(with(extensible(), [](auto &f) { f.extension_size = 23; }), 400), false},
	    {"extensible cut to 39 bytes",
	     wav::riff(wav::chunk("fmt ", wav::fmt_body(extensible()).substr(0, 39)) + data(400)), false},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		EXPECT_EQ(is_acceptable_wav(c.bytes), c.accepted);
	}
}

TEST(Wav, TwoSecondsIsTheBoundForEveryFormat)
{
	for (const wav::Format &f :
	     {mono44(), stereo44(), extensible(), with(mono44(), [](auto &g) { g.rate = 48000; })}) {
		const std::size_t two_seconds = 2 * f.rate * f.align();
		EXPECT_TRUE(is_acceptable_wav(wav::file(f, two_seconds)));
		EXPECT_FALSE(is_acceptable_wav(wav::file(f, two_seconds + f.align())));
	}
}

TEST(Wav, FormatByteRate)
{
	const std::string plain = wav::fmt_body(stereo44());
	const auto *bytes = reinterpret_cast<const unsigned char *>(plain.data());
	EXPECT_EQ(wav_format_byte_rate(bytes, plain.size()), 176400U);
	EXPECT_EQ(wav_format_byte_rate(bytes, 15), 0U);

	const std::string ext = wav::fmt_body(extensible());
	const auto *ext_bytes = reinterpret_cast<const unsigned char *>(ext.data());
	EXPECT_EQ(wav_format_byte_rate(ext_bytes, ext.size()), 192000U);
	// The extension must fit in what can be read, not only in what the chunk declares.
	EXPECT_EQ(wav_format_byte_rate(ext_bytes, 39), 0U);
}
