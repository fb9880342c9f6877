// X keycodes named as the Windows hook names the same keys, and the still-down probe's way back
// from a virtual key to the keycodes that produce it. No X server needed.

#include "capture/key_names.h"
#include "capture/x11_keymap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace clackery {
namespace {

struct Expected {
	std::uint32_t keycode; // X keycode, as xev shows it
	std::string name;      // empty: a key Windows reports but does not name
	std::uint32_t scancode;
	std::uint32_t vk;
	bool extended;
};

// Runs of consecutive keycodes with consecutive scan codes, and the keys one by one.
std::vector<Expected> expected_keys()
{
	std::vector<Expected> keys = {
	    {9, "Escape", 0x01, 0x1B, false},
	    {19, "Digit0", 0x0B, 0x30, false},
	    {20, "Minus", 0x0C, 0xBD, false},
	    {21, "Equal", 0x0D, 0xBB, false},
	    {22, "Backspace", 0x0E, 0x08, false},
	    {23, "Tab", 0x0F, 0x09, false},
	    {34, "BracketLeft", 0x1A, 0xDB, false},
	    {35, "BracketRight", 0x1B, 0xDD, false},
	    {36, "Enter", 0x1C, 0x0D, false},
	    {37, "ControlLeft", 0x1D, 0xA2, false},
	    {47, "Semicolon", 0x27, 0xBA, false},
	    {48, "Quote", 0x28, 0xDE, false},
	    {49, "Backquote", 0x29, 0xC0, false},
	    {50, "ShiftLeft", 0x2A, 0xA0, false},
	    {51, "Backslash", 0x2B, 0xDC, false},
	    {59, "Comma", 0x33, 0xBC, false},
	    {60, "Period", 0x34, 0xBE, false},
	    {61, "Slash", 0x35, 0xBF, false},
	    {62, "ShiftRight", 0x36, 0xA1, false},
	    {63, "NumpadMultiply", 0x37, 0x6A, false},
	    {64, "AltLeft", 0x38, 0xA4, false},
	    {65, "Space", 0x39, 0x20, false},
	    {66, "CapsLock", 0x3A, 0x14, false},
	    {77, "NumLock", 0x45, 0x90, true},
	    {78, "ScrollLock", 0x46, 0x91, false},
	    {79, "Numpad7", 0x47, 0x67, false},
	    {80, "Numpad8", 0x48, 0x68, false},
	    {81, "Numpad9", 0x49, 0x69, false},
	    {82, "NumpadSubtract", 0x4A, 0x6D, false},
	    {83, "Numpad4", 0x4B, 0x64, false},
	    {84, "Numpad5", 0x4C, 0x65, false},
	    {85, "Numpad6", 0x4D, 0x66, false},
	    {86, "NumpadAdd", 0x4E, 0x6B, false},
	    {87, "Numpad1", 0x4F, 0x61, false},
	    {88, "Numpad2", 0x50, 0x62, false},
	    {89, "Numpad3", 0x51, 0x63, false},
	    {90, "Numpad0", 0x52, 0x60, false},
	    {91, "NumpadDecimal", 0x53, 0x6E, false},
	    {94, "IntlBackslash", 0x56, 0xE2, false},
	    {95, "F11", 0x57, 0x7A, false},
	    {96, "F12", 0x58, 0x7B, false},
	    {97, "IntlRo", 0x73, 0xE2, false},
	    {100, "Convert", 0x79, 0x1C, false},
	    {101, "KanaMode", 0x70, 0x15, false},
	    {102, "NonConvert", 0x7B, 0x1D, false},
	    {104, "NumpadEnter", 0x1C, 0x0D, true},
	    {105, "ControlRight", 0x1D, 0xA3, true},
	    {106, "NumpadDivide", 0x35, 0x6F, true},
	    {107, "PrintScreen", 0x37, 0x2C, true},
	    {108, "AltRight", 0x38, 0xA5, true},
	    {110, "Home", 0x47, 0x24, true},
	    {111, "ArrowUp", 0x48, 0x26, true},
	    {112, "PageUp", 0x49, 0x21, true},
	    {113, "ArrowLeft", 0x4B, 0x25, true},
	    {114, "ArrowRight", 0x4D, 0x27, true},
	    {115, "End", 0x4F, 0x23, true},
	    {116, "ArrowDown", 0x50, 0x28, true},
	    {117, "PageDown", 0x51, 0x22, true},
	    {118, "Insert", 0x52, 0x2D, true},
	    {119, "Delete", 0x53, 0x2E, true},
	    {121, "", 0x20, 0xAD, true}, // volume mute
	    {122, "", 0x2E, 0xAE, true}, // volume down
	    {123, "", 0x30, 0xAF, true}, // volume up
	    {125, "NumpadEqual", 0x59, 0x0C, false},
	    {127, "Pause", 0x45, 0x13, false},
	    {129, "NumpadComma", 0x7E, 0x6C, false},
	    {132, "IntlYen", 0x7D, 0xDC, false},
	    {133, "MetaLeft", 0x5B, 0x5B, true},
	    {134, "MetaRight", 0x5C, 0x5C, true},
	    {135, "ContextMenu", 0x5D, 0x5D, true},
	    {171, "", 0x19, 0xB0, true}, // next track
	    {172, "", 0x22, 0xB3, true}, // play/pause
	    {173, "", 0x10, 0xB1, true}, // previous track
	    {174, "", 0x24, 0xB2, true}, // stop
	    {202, "F24", 0x76, 0x87, false},
	};
	static const char *const digits[] = {"Digit1", "Digit2", "Digit3", "Digit4", "Digit5",
					     "Digit6", "Digit7", "Digit8", "Digit9"};
	for (std::uint32_t i = 0; i < 9; ++i)
		keys.push_back({10 + i, digits[i], 0x02 + i, 0x31 + i, false});
	static const char *const letters[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
	static const std::uint32_t first_keycode[] = {24, 38, 52};
	static const std::uint32_t first_scancode[] = {0x10, 0x1E, 0x2C};
	for (int row = 0; row < 3; ++row) {
		const std::string letters_of_row = letters[row];
		for (std::uint32_t i = 0; i < letters_of_row.size(); ++i)
			keys.push_back({first_keycode[row] + i, std::string("Key") + letters_of_row[i],
					first_scancode[row] + i, static_cast<std::uint32_t>(letters_of_row[i]), false});
	}
	for (std::uint32_t i = 0; i < 10; ++i)
		keys.push_back({67 + i, "F" + std::to_string(i + 1), 0x3B + i, 0x70 + i, false});
	for (std::uint32_t i = 0; i < 11; ++i)
		keys.push_back({191 + i, "F" + std::to_string(i + 13), 0x64 + i, 0x7C + i, false});
	return keys;
}

TEST(X11Keymap, EveryKeycodeIsTheKeyTheWindowsHookReports)
{
	for (const Expected &key : expected_keys()) {
		SCOPED_TRACE("keycode " + std::to_string(key.keycode));
		const std::optional<HookKey> found = hook_key_from_x11(key.keycode);
		ASSERT_TRUE(found.has_value());
		EXPECT_EQ(found->scancode, key.scancode);
		EXPECT_EQ(found->vk, key.vk);
		EXPECT_EQ(found->extended, key.extended);
		const char *name = name_key(found->scancode, found->extended, found->vk);
		if (key.name.empty())
			EXPECT_EQ(name, nullptr);
		else
			EXPECT_STREQ(name, key.name.c_str());
	}
}

TEST(X11Keymap, EveryNamedKeyCanBeTypedOnX)
{
	std::set<std::string> named;
	for (std::uint32_t keycode = 0; keycode < 256; ++keycode) {
		if (const std::optional<HookKey> key = hook_key_from_x11(keycode)) {
			const char *name = name_key(key->scancode, key->extended, key->vk);
			if (name) {
				EXPECT_TRUE(named.insert(name).second) << name << " comes from two keycodes";
			}
		}
	}
	for (const ScanName &row : SCANCODE_NAMES)
		EXPECT_EQ(named.count(row.name), 1u) << row.name;
	EXPECT_EQ(named.size(), SCANCODE_NAMES.size());
}

TEST(X11Keymap, KeycodesWithoutAWindowsKeyAreNotKeys)
{
	std::set<std::uint32_t> mapped;
	for (const Expected &key : expected_keys())
		mapped.insert(key.keycode);
	for (std::uint32_t keycode = 0; keycode < 1024; ++keycode) {
		if (mapped.count(keycode) == 0) {
			EXPECT_FALSE(hook_key_from_x11(keycode).has_value()) << keycode;
		}
	}
}

// Where the virtual-key table names a code, it names the same key as the scan code does, but for
// the codes that two keys share.
TEST(X11Keymap, VirtualKeysAgreeWithTheirNames)
{
	const std::set<std::uint32_t> shared = {0xDC, 0xE2, 0x0C};
	for (const Expected &key : expected_keys()) {
		const char *by_vk = name_from_vk(key.vk, key.extended);
		if (key.name.empty() || !by_vk || shared.count(key.vk))
			continue;
		EXPECT_STREQ(by_vk, key.name.c_str()) << "vk " << key.vk;
	}
}

TEST(X11KeyState, SidedAndGenericVirtualKeysFindTheirKeycodes)
{
	const struct {
		std::uint32_t vk;
		std::vector<std::uint32_t> keycodes;
	} cases[] = {
	    {0xA0, {50}},     {0xA1, {62}},      {0xA2, {37}},      {0xA3, {105}},     {0xA4, {64}},
	    {0xA5, {108}},    {0x10, {50, 62}},  {0x11, {37, 105}}, {0x12, {64, 108}}, {0x0D, {36, 104}},
	    {0xE2, {94, 97}}, {0xDC, {51, 132}}, {0x41, {38}},      {0x90, {77}},      {0x13, {127}},
	    {0x5B, {133}},    {0xFF, {}},        {0x1000, {}},
	};
	for (const auto &c : cases)
		EXPECT_EQ(x11_keycodes_for_vk(c.vk), c.keycodes) << "vk " << c.vk;
}

X11KeyBits bits_with(std::initializer_list<std::uint32_t> keycodes)
{
	X11KeyBits bits{};
	for (std::uint32_t keycode : keycodes)
		bits[keycode / 8] = static_cast<std::uint8_t>(bits[keycode / 8] | 1u << (keycode % 8));
	return bits;
}

TEST(X11KeyState, AVirtualKeyIsDownWhenAnyOfItsKeycodesIs)
{
	const X11KeyBits right_shift = bits_with({62});
	EXPECT_TRUE(x11_vk_is_down(right_shift, 0xA1));
	EXPECT_FALSE(x11_vk_is_down(right_shift, 0xA0));
	EXPECT_TRUE(x11_vk_is_down(right_shift, 0x10));
	EXPECT_FALSE(x11_vk_is_down(right_shift, 0x11));

	const X11KeyBits keypad_enter = bits_with({104});
	EXPECT_TRUE(x11_vk_is_down(keypad_enter, 0x0D));
	EXPECT_FALSE(x11_vk_is_down(keypad_enter, 0xA3));

	EXPECT_FALSE(x11_vk_is_down(X11KeyBits{}, 0x41));
	// Neighbouring bits of other keycodes do not count.
	EXPECT_FALSE(x11_vk_is_down(bits_with({37, 39, 255}), 0x41));
	EXPECT_TRUE(x11_vk_is_down(bits_with({255, 38}), 0x41));
}

// The sweep asks for sided_vk(name, recorded vk): a held key must be found down by that question,
// or its press would be released while the key is still held.
TEST(X11KeyState, EveryHeldKeyIsFoundByTheSweepQuestion)
{
	for (const Expected &key : expected_keys()) {
		if (key.name.empty())
			continue;
		const X11KeyBits held = bits_with({key.keycode});
		EXPECT_TRUE(x11_vk_is_down(held, sided_vk(key.name, key.vk))) << key.name;
	}
}

} // namespace
} // namespace clackery
