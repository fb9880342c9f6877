// Key names over the whole scan-code and virtual-key space, the shared 0x45 code, modifier
// classes and the sided codes of the still-down probe.

#include "capture/key_names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace clackery {
namespace {

struct Run {
	std::uint32_t first;
	std::vector<const char *> names;
};

// The scan-code table as runs of consecutive scan keys (0xE000 + code for extended keys).
const std::vector<Run> SCAN_RUNS = {
    {0x01, {"Escape"}},
    {0x02, {"Digit1", "Digit2", "Digit3", "Digit4", "Digit5", "Digit6", "Digit7", "Digit8", "Digit9", "Digit0"}},
    {0x0C, {"Minus", "Equal", "Backspace", "Tab"}},
    {0x10, {"KeyQ", "KeyW", "KeyE", "KeyR", "KeyT", "KeyY", "KeyU", "KeyI", "KeyO", "KeyP"}},
    {0x1A, {"BracketLeft", "BracketRight", "Enter", "ControlLeft"}},
    {0x1E, {"KeyA", "KeyS", "KeyD", "KeyF", "KeyG", "KeyH", "KeyJ", "KeyK", "KeyL"}},
    {0x27, {"Semicolon", "Quote", "Backquote", "ShiftLeft", "Backslash"}},
    {0x2C, {"KeyZ", "KeyX", "KeyC", "KeyV", "KeyB", "KeyN", "KeyM"}},
    {0x33, {"Comma", "Period", "Slash", "ShiftRight", "NumpadMultiply", "AltLeft", "Space", "CapsLock"}},
    {0x3B, {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10"}},
    {0x45,
     {"Pause", "ScrollLock", "Numpad7", "Numpad8", "Numpad9", "NumpadSubtract", "Numpad4", "Numpad5", "Numpad6",
      "NumpadAdd", "Numpad1", "Numpad2", "Numpad3", "Numpad0", "NumpadDecimal"}},
    {0x56, {"IntlBackslash", "F11", "F12", "NumpadEqual"}},
    {0x64, {"F13", "F14", "F15", "F16", "F17", "F18", "F19", "F20", "F21", "F22", "F23"}},
    {0x70, {"KanaMode"}},
    {0x73, {"IntlRo"}},
    {0x76, {"F24"}},
    {0x79, {"Convert"}},
    {0x7B, {"NonConvert"}},
    {0x7D, {"IntlYen"}},
    {0x7E, {"NumpadComma"}},
    {0xE01C, {"NumpadEnter", "ControlRight"}},
    {0xE035, {"NumpadDivide"}},
    {0xE037, {"PrintScreen", "AltRight"}},
    {0xE045, {"NumLock"}},
    {0xE047, {"Home", "ArrowUp", "PageUp"}},
    {0xE04B, {"ArrowLeft"}},
    {0xE04D, {"ArrowRight"}},
    {0xE04F, {"End", "ArrowDown", "PageDown", "Insert", "Delete"}},
    {0xE05B, {"MetaLeft", "MetaRight", "ContextMenu"}},
};

std::map<std::uint32_t, std::string> expand(const std::vector<Run> &runs)
{
	std::map<std::uint32_t, std::string> table;
	for (const Run &run : runs) {
		std::uint32_t key = run.first;
		for (const char *name : run.names)
			table[key++] = name;
	}
	return table;
}

std::string or_none(const char *name)
{
	return name ? name : "(none)";
}

// A vk that is neither Pause nor NumLock, so scan code 0x45 follows the table.
constexpr std::uint32_t OTHER_VK = 0x41;

TEST(KeyNames, EveryScanKeyHasExactlyTheTablesName)
{
	const std::map<std::uint32_t, std::string> expected = expand(SCAN_RUNS);
	ASSERT_EQ(expected.size(), 124u);
	for (std::uint32_t scancode = 1; scancode < 256; ++scancode) {
		for (bool extended : {false, true}) {
			const std::uint32_t key = extended ? 0xE000 + scancode : scancode;
			const auto row = expected.find(key);
			const std::string want = row == expected.end() ? "(none)" : row->second;
			EXPECT_EQ(or_none(name_key(scancode, extended, OTHER_VK)), want)
			    << std::hex << "scan key 0x" << key;
		}
	}
}

TEST(KeyNames, ExportedTableHasUniqueKeysAndNames)
{
	std::set<std::uint32_t> keys;
	std::set<std::string> names;
	for (const ScanName &row : SCANCODE_NAMES) {
		keys.insert(row.scan_key);
		names.insert(row.name);
	}
	EXPECT_EQ(keys.size(), 124u);
	EXPECT_EQ(names.size(), 124u);
}

TEST(KeyNames, JapaneseKeysAreNamedByScanCode)
{
	EXPECT_STREQ(name_key(0x70, false, 0xF2), "KanaMode");
	EXPECT_STREQ(name_key(0x73, false, 0xC1), "IntlRo");
	EXPECT_STREQ(name_key(0x79, false, 0x1C), "Convert");
	EXPECT_STREQ(name_key(0x7B, false, 0x1D), "NonConvert");
	EXPECT_STREQ(name_key(0x7D, false, 0xDC), "IntlYen");
	// The name follows the key, not the character the layout gives it.
	EXPECT_STREQ(name_key(0x7D, false, 0xE2), "IntlYen");
}

TEST(KeyNames, PauseAndNumLockShareScanCode45AndAreToldApartByTheVk)
{
	for (bool extended : {false, true}) {
		EXPECT_STREQ(name_key(0x45, extended, 0x13), "Pause");
		EXPECT_STREQ(name_key(0x45, extended, 0x90), "NumLock");
	}
	EXPECT_STREQ(name_key(0x45, false, 0x00), "Pause");
	EXPECT_STREQ(name_key(0x45, true, 0x00), "NumLock");
}

TEST(KeyNames, UnknownAndOutOfRangeScanCodesHaveNoName)
{
	for (std::uint32_t scancode : {0x54u, 0x55u, 0x5Au, 0x63u, 0x6Fu, 0x71u, 0x72u, 0x7Fu, 0xFFu})
		EXPECT_EQ(name_key(scancode, false, 0x41), nullptr) << scancode;
	EXPECT_EQ(name_key(0x01, true, 0x1B), nullptr);
	EXPECT_EQ(name_key(0x100, false, 0x41), nullptr);
	EXPECT_EQ(name_key(0xE01C, false, 0x0D), nullptr);
	EXPECT_EQ(name_key(0xFFFFFFFF, true, 0x41), nullptr);
}

const std::vector<Run> VK_RUNS = {
    {0x08, {"Backspace", "Tab"}},
    {0x0C, {"Numpad5"}},
    {0x10, {"ShiftLeft"}},
    {0x13, {"Pause", "CapsLock", "KanaMode"}},
    {0x1B, {"Escape", "Convert", "NonConvert"}},
    {0x20, {"Space", "PageUp", "PageDown", "End", "Home", "ArrowLeft", "ArrowUp", "ArrowRight", "ArrowDown"}},
    {0x2C, {"PrintScreen", "Insert", "Delete"}},
    {0x30, {"Digit0", "Digit1", "Digit2", "Digit3", "Digit4", "Digit5", "Digit6", "Digit7", "Digit8", "Digit9"}},
    {0x41, {"KeyA", "KeyB", "KeyC", "KeyD", "KeyE", "KeyF", "KeyG", "KeyH", "KeyI", "KeyJ", "KeyK", "KeyL", "KeyM",
	    "KeyN", "KeyO", "KeyP", "KeyQ", "KeyR", "KeyS", "KeyT", "KeyU", "KeyV", "KeyW", "KeyX", "KeyY", "KeyZ"}},
    {0x5B, {"MetaLeft", "MetaRight", "ContextMenu"}},
    {0x60,
     {"Numpad0", "Numpad1", "Numpad2", "Numpad3", "Numpad4", "Numpad5", "Numpad6", "Numpad7", "Numpad8", "Numpad9"}},
    {0x6A, {"NumpadMultiply", "NumpadAdd", "NumpadComma", "NumpadSubtract", "NumpadDecimal", "NumpadDivide"}},
    {0x70, {"F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",  "F9",  "F10", "F11", "F12",
	    "F13", "F14", "F15", "F16", "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24"}},
    {0x90, {"NumLock", "ScrollLock"}},
    {0xA0, {"ShiftLeft", "ShiftRight", "ControlLeft", "ControlRight", "AltLeft", "AltRight"}},
    {0xBA, {"Semicolon", "Equal", "Comma", "Minus", "Period", "Slash", "Backquote"}},
    {0xDB, {"BracketLeft", "Backslash", "BracketRight", "Quote"}},
    {0xE2, {"IntlBackslash"}},
};

TEST(KeyNames, EveryVirtualKeyHasExactlyTheTablesNameWhenThereIsNoScanCode)
{
	std::map<std::uint32_t, std::string> expected = expand(VK_RUNS);
	const std::map<std::uint32_t, std::pair<std::string, std::string>> sided = {
	    {0x0D, {"Enter", "NumpadEnter"}},
	    {0x11, {"ControlLeft", "ControlRight"}},
	    {0x12, {"AltLeft", "AltRight"}},
	};
	for (std::uint32_t vk = 0; vk < 256; ++vk) {
		for (bool extended : {false, true}) {
			std::string want = "(none)";
			if (const auto s = sided.find(vk); s != sided.end())
				want = extended ? s->second.second : s->second.first;
			else if (const auto row = expected.find(vk); row != expected.end())
				want = row->second;
			EXPECT_EQ(or_none(name_from_vk(vk, extended)), want) << std::hex << "vk 0x" << vk;
			EXPECT_EQ(or_none(name_key(0, extended, vk)), want) << std::hex << "vk 0x" << vk;
		}
	}
	EXPECT_EQ(name_from_vk(256, false), nullptr);
	EXPECT_EQ(name_from_vk(0x10041, false), nullptr);
}

TEST(Modifiers, ClassesOfTheEightModifierNames)
{
	struct Case {
		const char *name;
		ModifierClass cls;
		std::uint32_t polled_vk;
	};
	for (const Case &c : std::initializer_list<Case>{{"ControlLeft", ModifierClass::ctrl, 0xA2},
							 {"ControlRight", ModifierClass::ctrl, 0xA3},
							 {"ShiftLeft", ModifierClass::shift, 0xA0},
							 {"ShiftRight", ModifierClass::shift, 0xA1},
							 {"AltLeft", ModifierClass::alt, 0xA4},
							 {"AltRight", ModifierClass::alt, 0xA5},
							 {"MetaLeft", ModifierClass::win, 0x5B},
							 {"MetaRight", ModifierClass::win, 0x5B},
							 {"KeyA", ModifierClass::none, 0x5B},
							 {"CapsLock", ModifierClass::none, 0x5B},
							 {"Control", ModifierClass::none, 0x5B},
							 {"", ModifierClass::none, 0x5B}}) {
		EXPECT_EQ(modifier_class(c.name), c.cls) << c.name;
		// The recorded vk (here 0x5B) is kept for everything but the six sided modifiers.
		EXPECT_EQ(sided_vk(c.name, 0x5B), c.polled_vk) << c.name;
	}
	// The generic Shift, Ctrl and Alt codes are polled by side.
	EXPECT_EQ(sided_vk("ShiftRight", 0x10), 0xA1u);
	EXPECT_EQ(sided_vk("ControlRight", 0x11), 0xA3u);
	EXPECT_EQ(sided_vk("AltLeft", 0x12), 0xA4u);
}

TEST(Modifiers, AFlagIsSetWhileAnyKeyOfItsClassIsHeld)
{
	Modifiers mods = modifiers_of(std::vector<std::string>{"ShiftRight", "ControlLeft", "KeyA"});
	EXPECT_TRUE(mods.ctrl);
	EXPECT_TRUE(mods.shift);
	EXPECT_FALSE(mods.alt);
	EXPECT_FALSE(mods.win);

	mods = modifiers_of(std::vector<std::string>{"ShiftLeft"}); // ShiftRight released, ShiftLeft held
	EXPECT_TRUE(mods.shift);
	EXPECT_FALSE(mods.ctrl);

	mods = modifiers_of(std::vector<const char *>{"AltRight", "MetaLeft"});
	EXPECT_TRUE(mods.alt);
	EXPECT_TRUE(mods.win);
	EXPECT_FALSE(mods.shift);

	mods = modifiers_of(std::vector<std::string>{});
	EXPECT_FALSE(mods.ctrl || mods.shift || mods.alt || mods.win);
}

} // namespace
} // namespace clackery
