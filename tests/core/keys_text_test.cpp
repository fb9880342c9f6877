#include "core/keys_text.h"

#include <gtest/gtest.h>

#include <string>

using namespace clackery;

namespace {

const std::vector<LayoutEntry> kLayout = {
    {"KeyA", "a", "A"},      {"Digit2", "2", "\""},
    {"Digit0", "0", ""},     {"IntlYen", "\xC2\xA5", "|"},
    {"Semicolon", ";", "+"}, {"Backquote", "\xE5\x8D\x8A", ""}, // a kana label is never typed
    {"Minus", "-", "="},
};

KeyEvent press(const char *code, bool shift = false, bool ctrl = false)
{
	KeyEvent event;
	event.code = code;
	event.down = true;
	event.mods.shift = shift;
	event.mods.ctrl = ctrl;
	return event;
}

struct Typing : testing::Test {
	std::optional<TextFrame> type(const KeyEvent &event) { return type_from_key(text, event, context); }
	std::string typed(std::initializer_list<KeyEvent> events)
	{
		std::optional<TextFrame> last;
		for (const KeyEvent &event : events)
			last = type(event);
		return last ? last->text : "(none)";
	}
	KeysText text;
	KeyTypingContext context{true, false, false, &kLayout};
};

} // namespace

TEST_F(Typing, TypesLayoutLabelsWithAndWithoutShift)
{
	EXPECT_EQ(typed({press("KeyA"), press("KeyA", true), press("Digit2", true), press("Digit2")}), "aA\"2");
	EXPECT_EQ(typed({press("IntlYen")}), "aA\"2\\") << "the yen key types a backslash";
	EXPECT_EQ(typed({press("IntlYen", true)}), "aA\"2\\|");
}

TEST_F(Typing, FrameCarriesOpCommittedTextAndCaretAtTheEnd)
{
	const auto frame = type(press("Semicolon", true));
	ASSERT_TRUE(frame);
	EXPECT_EQ(frame->op, "type");
	EXPECT_EQ(frame->committed, "+");
	EXPECT_EQ(frame->text, "+");
	EXPECT_EQ(frame->preedit, "");
	EXPECT_EQ(frame->cursor, 0);
	EXPECT_EQ(frame->caret, 1);
	const auto enter = type(press("NumpadEnter"));
	EXPECT_EQ(enter->op, "enter");
	EXPECT_EQ(enter->text, "+\n");
	const auto space = type(press("Space"));
	EXPECT_EQ(space->op, "type");
	EXPECT_EQ(space->committed, " ");
}

TEST_F(Typing, NothingIsTypedWhenItShouldNotBe)
{
	EXPECT_FALSE(type(press("KeyA", false, true))) << "Ctrl+A";
	KeyEvent release = press("KeyA");
	release.down = false;
	EXPECT_FALSE(type(release));
	EXPECT_FALSE(type(press("Digit0", true))) << "no shifted label";
	EXPECT_FALSE(type(press("Backquote"))) << "not printable ASCII";
	EXPECT_FALSE(type(press("KeyZ"))) << "not in the layout";
	EXPECT_FALSE(type(press("F1")));
	context.keys_mode = false;
	EXPECT_FALSE(type(press("KeyA")));
	context.keys_mode = true;
	context.dock_has_text = true;
	EXPECT_FALSE(type(press("KeyA")));
	EXPECT_TRUE(text.code_points.empty());
}

TEST_F(Typing, BackspaceRemovesOneCodePointAndNothingWhenEmpty)
{
	EXPECT_FALSE(type(press("Backspace")));
	text.code_points = {U'a', 0x1F600};
	const auto frame = type(press("Backspace"));
	ASSERT_TRUE(frame);
	EXPECT_EQ(frame->op, "backspace");
	EXPECT_EQ(frame->committed, "");
	EXPECT_EQ(frame->text, "a");
}

TEST_F(Typing, KeepsTheLastFourThousandCodePoints)
{
	for (int i = 0; i < 4000; ++i)
		type(press("KeyA"));
	const auto frame = type(press("Minus"));
	EXPECT_EQ(frame->text.size(), 4000u);
	EXPECT_EQ(frame->text.back(), '-');
	EXPECT_EQ(frame->caret, 4000);
}

TEST_F(Typing, MaskShowsDotsExceptLineFeeds)
{
	context.mask = true;
	type(press("KeyA"));
	const auto frame = type(press("Enter"));
	EXPECT_EQ(frame->text, "\xE2\x80\xA2\n");
	EXPECT_EQ(keys_text_frame(text, false).text, "a\n");
	EXPECT_EQ(keys_text_frame(text, true).caret, 2);
}

TEST(TextKeyCodes, MatchTheTypingKeysOnly)
{
	for (const char *code : {"KeyA", "KeyZ", "Digit0", "Digit9", "Minus", "IntlRo", "IntlYen", "Backquote"})
		EXPECT_TRUE(is_text_key_code(code)) << code;
	for (const char *code : {"Keya", "KeyAA", "Digit", "Digit10", "Space", "Numpad1", "Enter", "F1"})
		EXPECT_FALSE(is_text_key_code(code)) << code;
}

// Typed into a password field: dots are what the text keeps, not only what it shows.
TEST(ConcealedTyping, KeepsOnlyDotsInTheKeysText)
{
	const std::vector<LayoutEntry> layout = {{"KeyA", "a", "A"}, {"Digit1", "1", "!"}};
	KeysText text;
	KeyTypingContext context;
	context.keys_mode = true;
	context.layout = &layout;
	type_from_key(text, KeyEvent{"KeyA", true, {}, 0}, context);
	context.conceal = true;
	const auto typed =
	    type_from_key(text, KeyEvent{"Digit1", true, Modifiers{false, true, false, false}, 0}, context);
	ASSERT_TRUE(typed);
	EXPECT_EQ(typed->committed, "\xE2\x80\xA2");
	type_from_key(text, KeyEvent{"Space", true, {}, 0}, context);
	type_from_key(text, KeyEvent{"Enter", true, {}, 0}, context);
	// Ctrl+A selects; it types nothing, concealed or not.
	EXPECT_FALSE(type_from_key(text, KeyEvent{"KeyA", true, Modifiers{true, false, false, false}, 0}, context));
	context.conceal = false;
	// Frames afterwards, masked or not, show dots where the field's characters were.
	EXPECT_EQ(keys_text_frame(text, false).text, "a\xE2\x80\xA2\xE2\x80\xA2\n");
	EXPECT_EQ(keys_text_frame(text, false).caret, 4);
}
