#include "common/ids.h"
#include "common/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace clackery;

namespace {

std::string repeat(const std::string &piece, std::size_t times)
{
	std::string out;
	for (std::size_t i = 0; i < times; ++i)
		out += piece;
	return out;
}

const std::string kEmoji = "\xF0\x9F\x98\x80"; // U+1F600, two UTF-16 units

} // namespace

TEST(Utf8Decode, DecodesEveryLengthAndReplacesEachBadByte)
{
	struct Case {
		std::string bytes;
		std::vector<char32_t> expected;
	};
	const std::vector<Case> cases = {
	    {"a", {'a'}},
	    {"\xC3\xA9", {0xE9}},
	    {"\xE3\x81\x82", {0x3042}},
	    {kEmoji, {0x1F600}},
	    {"\xFF", {0xFFFD}},
	    {"\xE3\x81", {0xFFFD, 0xFFFD}},                         // truncated
	    {"\xC0\xAF", {0xFFFD, 0xFFFD}},                         // overlong slash
	    {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},             // encoded surrogate
	    {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}}, // above U+10FFFF
	    {"\x80x", {0xFFFD, 'x'}},                               // lone continuation
	    {std::string("a\0b", 3), {'a', 0, 'b'}},
	};
	for (const Case &c : cases)
		EXPECT_EQ(utf8_to_code_points(c.bytes), c.expected) << "bytes of size " << c.bytes.size();
}

TEST(Utf8Encode, ReplacesSurrogatesAndOutOfRangeValues)
{
	EXPECT_EQ(code_points_to_utf8({0x41, 0x3042, 0x1F600}), "A\xE3\x81\x82" + kEmoji);
	EXPECT_EQ(code_points_to_utf8({0xD800}), "\xEF\xBF\xBD");
	EXPECT_EQ(code_points_to_utf8({0x110000}), "\xEF\xBF\xBD");
	EXPECT_TRUE(is_valid_utf8("ok \xE3\x81\x82"));
	EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));
}

TEST(Utf16Length, CountsPairsForSupplementaryCharacters)
{
	EXPECT_EQ(utf16_length(utf8_to_code_points("a" + kEmoji + "\xE3\x81\x82")), 4u);
	EXPECT_EQ(utf16_length({}), 0u);
}

TEST(TextWindow, KeepsShortTextAndMapsTheCursor)
{
	const std::string text = "a" + kEmoji + "b"; // units: a=1, emoji=2, b=1
	struct Case {
		std::uint64_t cursor;
		std::uint64_t expected;
	};
	for (const Case &c : std::vector<Case>{{0, 0}, {1, 1}, {2, 1} /* inside the pair */, {3, 3}, {4, 4}, {99, 4}}) {
		const TextWindow window = text_window(text, c.cursor);
		EXPECT_EQ(window.text, text);
		EXPECT_EQ(window.dropped, 0u);
		EXPECT_EQ(window.cursor, c.expected) << "cursor " << c.cursor;
	}
}

TEST(TextWindow, DropsTheFrontBeyondFourThousandCodePoints)
{
	const std::string text = kEmoji + repeat("x", 4000); // 4001 code points
	const TextWindow at_end = text_window(text, 4002);
	EXPECT_EQ(at_end.text, repeat("x", 4000));
	EXPECT_EQ(at_end.dropped, 2u);
	EXPECT_EQ(at_end.cursor, 4000u);

	EXPECT_EQ(text_window(text, 1).cursor, 0u); // inside the dropped pair
	EXPECT_EQ(text_window(text, 3).cursor, 1u); // after the first kept x
}

TEST(TextWindow, ReplacesInvalidBytes)
{
	const TextWindow window = text_window("a\xFF", 2);
	EXPECT_EQ(window.text, "a\xEF\xBF\xBD");
	EXPECT_EQ(window.cursor, 2u);
}

TEST(Ids, AcceptOnlyFileSafeNamesOfOneTo128Bytes)
{
	for (const std::string &id :
	     std::vector<std::string>{"jis_tkl", "A-b_9", "\xE9\x85\x8D\xE5\x88\x97", std::string(128, 'a')})
		EXPECT_TRUE(is_valid_id(id)) << id;
	for (const std::string &id : std::vector<std::string>{"", "a b", "../x", "a.json", "a/b", std::string(129, 'a'),
							      std::string("a\0b", 3), "\xFF", "\xE9\x85"})
		EXPECT_FALSE(is_valid_id(id)) << id;
}

TEST(FontNames, RefuseMalformedShapes)
{
	EXPECT_TRUE(is_clean_font_name("Noto Sans CJK JP"));
	EXPECT_TRUE(is_clean_font_name(std::string(128, 'a')));
	EXPECT_FALSE(is_clean_font_name(""));
	EXPECT_FALSE(is_clean_font_name(std::string(129, 'a')));
	EXPECT_FALSE(is_clean_font_name(" Sans"));
	EXPECT_FALSE(is_clean_font_name("Sans "));
	EXPECT_FALSE(is_clean_font_name("Sa\tns"));
	EXPECT_FALSE(is_clean_font_name("Sa\xC2\x85ns"));     // U+0085
	EXPECT_FALSE(is_clean_font_name("Sa\xE2\x80\xA8ns")); // U+2028
	EXPECT_FALSE(is_clean_font_name("Sa\xFFns"));
}
