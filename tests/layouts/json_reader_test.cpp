#include "common/json_cursor.h"
#include "common/json_reader.h"
#include "layouts/json_builders.h"
#include "layouts/layout_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace clackery;

namespace {

struct ValueCase {
	const char *what;
	std::string json;
	bool accepted;
};

// Each value sits in a member that both readers skip, so the skipping grammar is what decides.
std::vector<ValueCase> value_cases()
{
	return {
	    {"minus zero", "-0", true},
	    {"fraction", "0.5", true},
	    {"exponent", "1e9", true},
	    {"signed upper-case exponent", "1E+2", true},
	    {"negative fraction with exponent", "-12.25e-3", true},
	    {"literals inside containers", R"({"a":[true,null,false]})", true},
	    {"empty containers", R"([{},[],""])", true},
	    {"escapes", R"("\" \\ \/ \b \f \n \r \t \u00e9 \uD83D\uDE00")", true},
	    {"literal followed by nothing else", "null", true},
	    {"leading zero", "01", false},
	    {"leading dot", ".5", false},
	    {"dot without digits", "1.", false},
	    {"leading plus", "+1", false},
	    {"exponent without digits", "1e", false},
	    {"lone minus", "-", false},
	    {"cut literal", "tru", false},
	    {"literal with a tail", "nullx", false},
	    {"trailing comma in array", "[1,]", false},
	    {"trailing comma in object", R"({"a":1,})", false},
	    {"member without colon", R"({"a" 1})", false},
	    {"elements without comma", "[1 2]", false},
	    {"non-string member name", "{1:2}", false},
	    {"single quotes", "'a'", false},
	    {"raw tab in string", "\"a\tb\"", false},
	    {"raw line feed in string", "\"a\nb\"", false},
	    {"raw DEL is allowed", "\"a\x7f\"", true},
	    {"unknown escape", R"("\x41")", false},
	    {"short unicode escape", R"("\u12")", false},
	    {"non-hex unicode escape", R"("\u12g4")", false},
	    {"lone high surrogate", R"("\uD83D")", false},
	    {"high surrogate then text", R"("\uD83Dx")", false},
	    {"high surrogate then non-low escape", R"("\uD83D\u0041")", false},
	    {"two high surrogates", R"("\uD83D\uD83D")", false},
	    {"lone low surrogate", R"("\uDE00")", false},
	    {"backslash at the end", "\"\\", false},
	    {"overlong slash", "\"\xC0\xAF\"", false},
	    {"encoded surrogate", "\"\xED\xA0\x80\"", false},
	    {"above U+10FFFF", "\"\xF4\x90\x80\x80\"", false},
	    {"lone continuation byte", "\"\x80\"", false},
	    {"truncated sequence", "\"\xE3\x81\"", false},
	    {"unterminated string", "\"abc", false},
	    {"unclosed array", "[1", false},
	    {"nothing", "", false},
	};
}

std::string nested_arrays(int levels, const std::string &inside = "")
{
	return std::string(static_cast<std::size_t>(levels), '[') + inside +
	       std::string(static_cast<std::size_t>(levels), ']');
}

std::string nested_objects(int levels)
{
	std::string text;
	for (int i = 0; i < levels; ++i)
		text += R"({"a":)";
	text += "1";
	return text + std::string(static_cast<std::size_t>(levels), '}');
}

} // namespace

TEST(JsonReader, BothReadersAgreeOnEveryValueTheySkip)
{
	for (const ValueCase &c : value_cases()) {
		SCOPED_TRACE(c.what);
		const std::string layout = R"({"extra":)" + c.json + R"(,"rows":[{"keys":[)" + key("KeyA") + "]}]}";
		const std::string description = R"({"displayName":"名前","extra":)" + c.json + "}";
		std::vector<LayoutEntry> entries;
		DisplayNameDocument doc;
		EXPECT_NO_THROW(entries = read_layout_document(layout));
		EXPECT_NO_THROW(doc = read_display_name_document(description));
		EXPECT_EQ(entries.size(), c.accepted ? 1U : 0U);
		EXPECT_EQ(doc.ok, c.accepted);
		EXPECT_EQ(doc.display_name, c.accepted ? "名前" : "");
	}
}

TEST(JsonReader, NestingStopsBelowThirtyThreeLevels)
{
	struct {
		const char *what;
		std::string value;
		bool accepted;
	} cases[] = {
	    {"33 empty arrays: the innermost at depth 32", nested_arrays(33), true},
	    {"34 empty arrays", nested_arrays(34), false},
	    {"32 arrays around a number at depth 32", nested_arrays(32, "1"), true},
	    {"33 arrays around a number at depth 33", nested_arrays(33, "1"), false},
	    {"32 objects around a number", nested_objects(32), true},
	    {"33 objects around a number", nested_objects(33), false},
	    {"very deep input fails without exhausting the stack", nested_arrays(100000), false},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		const std::string layout = R"({"extra":)" + c.value + R"(,"rows":[{"keys":[)" + key("KeyA") + "]}]}";
		EXPECT_EQ(read_layout_document(layout).size(), c.accepted ? 1U : 0U);
		EXPECT_EQ(read_display_name_document(R"({"x":)" + c.value + "}").ok, c.accepted);
	}
}

TEST(JsonReader, WhatMayStandAroundTheTopLevelObject)
{
	struct {
		const char *what;
		std::string before;
		std::string after;
		bool accepted;
	} cases[] = {
	    {"nothing", "", "", true},
	    {"whitespace around", " \t\r\n", " \n", true},
	    {"trailing garbage", "", " x", false},
	    {"a second object", "", "{}", false},
	    {"a trailing comma", "", ",", false},
	    {"a byte-order mark", "\xEF\xBB\xBF", "", false},
	    {"a form feed (not whitespace)", "\f", "", false},
	    {"a NUL after the object", "", std::string("\0", 1), false},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		EXPECT_EQ(read_display_name_document(c.before + R"({"displayName":"a"})" + c.after).ok, c.accepted);
		EXPECT_EQ(read_layout_document(c.before + layout_with_keys(key("KeyA")) + c.after).size(),
			  c.accepted ? 1U : 0U);
	}
	for (const std::string text : {"", "  ", "[]", R"("a")", "null", R"({"a":1)", "{", R"({"rows":[{"keys":[)"}) {
		SCOPED_TRACE(text);
		EXPECT_FALSE(read_display_name_document(text).ok);
		EXPECT_TRUE(read_layout_document(text).empty());
	}
	EXPECT_TRUE(read_display_name_document("{}").ok);
}

TEST(LayoutDocument, KeepsCodedKeysInOrderWithTheirLabels)
{
	const std::string text = R"({"name":"x","rows":[
		{"keys":[{"code":"KeyA","label":"A","shift":"a","x":1.5},{"label":"no code"},{"code":"","label":"empty"}]},
		{"y":{"deep":[true,null]},"keys":[{"code":"Digit1","label":"1"},{"code":"Space","label":"first","label":"second"}]}
	],"rows":[{"keys":[{"code":"IntlYen","label":"\u00a5","shift":"|"}]}]})";
	const std::vector<LayoutEntry> entries = read_layout_document(text);
	ASSERT_EQ(entries.size(), 4U);
	EXPECT_EQ(entries[0].code, "KeyA");
	EXPECT_EQ(entries[0].label, "A");
	EXPECT_EQ(entries[0].shift, "a");
	EXPECT_EQ(entries[1].code, "Digit1");
	EXPECT_EQ(entries[1].shift, "");
	EXPECT_EQ(entries[2].label, "second");
	EXPECT_EQ(entries[3].code, "IntlYen");
	EXPECT_EQ(entries[3].label, "\xC2\xA5");
}

TEST(LayoutDocument, StringEscapesDecodeToUtf8)
{
	const std::vector<LayoutEntry> entries = read_layout_document(
	    layout_with_keys(R"({"code":"K","label":"\uD83D\uDE00\u0000\"\\\/\b\f\n\r\t","shift":"\u3042"})"));
	ASSERT_EQ(entries.size(), 1U);
	EXPECT_EQ(entries[0].label, std::string("\xF0\x9F\x98\x80\0\"\\/\b\f\n\r\t", 13));
	EXPECT_EQ(entries[0].shift, "\xE3\x81\x82");
}

TEST(LayoutDocument, RefusesTheWholeDocument)
{
	struct {
		const char *what;
		std::string text;
	} cases[] = {
	    {"a code used twice", layout_with_keys(key("KeyA") + "," + key("KeyB") + "," + key("KeyA"))},
	    {"513 coded keys", layout_with_keys(many_keys(513))},
	    {"a numeric code", layout_with_keys(R"({"code":5})")},
	    {"a null label", layout_with_keys(R"({"code":"K","label":null})")},
	    {"rows not an array", R"({"rows":{}})"},
	    {"a row that is not an object", R"({"rows":[[]]})"},
	    {"keys not an array", R"({"rows":[{"keys":"KeyA"}]})"},
	    {"a key that is not an object", R"({"rows":[{"keys":["KeyA"]}]})"},
	    {"trailing comma in rows", R"({"rows":[{"keys":[]},]})"},
	    {"raw control byte in a label", layout_with_keys("{\"code\":\"K\",\"label\":\"a\x01\"}")},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		std::vector<LayoutEntry> entries{{"left", "over", ""}};
		EXPECT_NO_THROW(entries = read_layout_document(c.text));
		EXPECT_TRUE(entries.empty());
	}
}

TEST(LayoutDocument, LimitsOfEntriesAndSize)
{
	EXPECT_EQ(read_layout_document(layout_with_keys(many_keys(512))).size(), 512U);
	// Keys without a code do not count towards the limit.
	EXPECT_EQ(read_layout_document(layout_with_keys(many_keys(512) + R"(,{"label":"x"},{"code":""})")).size(),
		  512U);
	EXPECT_TRUE(read_layout_document(R"({"rows":[]})").empty());

	const std::string body = layout_with_keys(key("KeyA"));
	const std::string at_limit = body + std::string(kMaxLayoutDocumentBytes - body.size(), ' ');
	EXPECT_EQ(read_layout_document(at_limit).size(), 1U);
	EXPECT_TRUE(read_layout_document(at_limit + " ").empty());
}

TEST(DisplayNameDocument, NameRules)
{
	const std::string eighty(80, 'a');
	const std::string eighty_wide = [] {
		std::string s;
		for (int i = 0; i < 80; ++i)
			s += "\xF0\x9F\x98\x80"; // 80 code points, 320 bytes
		return s;
	}();
	struct {
		const char *what;
		std::string value;
		bool accepted;
	} cases[] = {
	    {"Japanese name", "しずか", true},
	    {"80 code points", eighty, true},
	    {"80 four-byte code points, 320 bytes", eighty_wide, true},
	    {"81 code points", eighty + "a", false},
	    {"escaped name", R"(\u3057\u305a\u304b)", true},
	    {"a space inside", "a b", true},
	    {"a trailing space", "a ", true},
	    {"empty", "", false},
	    {"only spaces", "   ", false},
	    {"only an ideographic space", "\xE3\x80\x80", false},
	    {"spaces and ideographic spaces", " \xE3\x80\x80 ", false},
	    {"escaped line feed", R"(a\nb)", false},
	    {"escaped NUL", R"(a\u0000)", false},
	    {"DEL", "a\x7f", false},
	    {"C1 control", R"(a\u0085)", false},
	    {"Arabic letter mark", R"(a\u061C)", false},
	    {"zero-width space", "a\xE2\x80\x8B", false},
	    {"right-to-left override", R"(a\u202E)", false},
	    {"word joiner", R"(a\u2060)", false},
	    {"byte-order mark", R"(a\uFEFF)", false},
	    {"U+2070 just after the invisible block", R"(a\u2070)", true},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		const DisplayNameDocument doc = read_display_name_document(R"({"displayName":")" + c.value + "\"}");
		EXPECT_EQ(doc.ok, c.accepted);
		if (c.accepted && c.value.find('\\') == std::string::npos) {
			EXPECT_EQ(doc.display_name, c.value);
		}
	}
}

TEST(DisplayNameDocument, MembersAndLimits)
{
	const DisplayNameDocument without = read_display_name_document(R"({"other":[1,{"displayName":5}]})");
	EXPECT_TRUE(without.ok);
	EXPECT_EQ(without.display_name, "");

	EXPECT_FALSE(read_display_name_document(R"({"displayName":"a","displayName":"a"})").ok);
	EXPECT_FALSE(read_display_name_document(R"({"displayName":5})").ok);
	EXPECT_FALSE(read_display_name_document(R"({"displayName":null})").ok);
	EXPECT_EQ(read_display_name_document(R"({"displayname":"x","displayName":"y"})").display_name, "y");

	const std::string body = R"({"displayName":"a"})";
	const std::string at_limit = body + std::string(kMaxDisplayNameDocumentBytes - body.size(), '\n');
	EXPECT_TRUE(read_display_name_document(at_limit).ok);
	const DisplayNameDocument over = read_display_name_document(at_limit + "\n");
	EXPECT_FALSE(over.ok);
	EXPECT_EQ(over.display_name, "");
}

TEST(JsonCursor, PrimitivesRaiseTheOneErrorTheReadersCatch)
{
	JsonCursor cursor{R"(  "a\u00e9" , [1])", 0};
	EXPECT_EQ(read_string(cursor), "a\xC3\xA9");
	EXPECT_TRUE(take_byte(cursor, ','));
	skip_value(cursor, 0);
	EXPECT_EQ(cursor.pos, cursor.text.size());

	JsonCursor bad{"[01]", 0};
	try {
		skip_value(bad, 0);
		FAIL() << "no error";
	} catch (const JsonError &error) {
		EXPECT_STREQ(error.what(), "配列を読めません");
	}
}
