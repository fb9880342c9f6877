#include "capture/x11_keymap.h"

#include <algorithm>

namespace clackery {
namespace {

struct Row {
	std::uint32_t evdev;
	std::uint32_t scan_key; // 0xE000 + scan code for an extended key
	std::uint32_t vk;
};

// evdev codes 1 to 83 are the set-1 scan codes themselves; the rest follow the E0 block and the
// Japanese keys. Virtual keys are those of the US layout for the main block and of the Japanese
// layout for its own keys, the keypad as with Num Lock on.
constexpr Row ROWS[] = {
    {1, 0x01, 0x1B},     // Escape
    {2, 0x02, 0x31},     // 1
    {3, 0x03, 0x32},     // 2
    {4, 0x04, 0x33},     // 3
    {5, 0x05, 0x34},     // 4
    {6, 0x06, 0x35},     // 5
    {7, 0x07, 0x36},     // 6
    {8, 0x08, 0x37},     // 7
    {9, 0x09, 0x38},     // 8
    {10, 0x0A, 0x39},    // 9
    {11, 0x0B, 0x30},    // 0
    {12, 0x0C, 0xBD},    // Minus: VK_OEM_MINUS
    {13, 0x0D, 0xBB},    // Equal: VK_OEM_PLUS
    {14, 0x0E, 0x08},    // Backspace
    {15, 0x0F, 0x09},    // Tab
    {16, 0x10, 'Q'},     // KeyQ
    {17, 0x11, 'W'},     // KeyW
    {18, 0x12, 'E'},     // KeyE
    {19, 0x13, 'R'},     // KeyR
    {20, 0x14, 'T'},     // KeyT
    {21, 0x15, 'Y'},     // KeyY
    {22, 0x16, 'U'},     // KeyU
    {23, 0x17, 'I'},     // KeyI
    {24, 0x18, 'O'},     // KeyO
    {25, 0x19, 'P'},     // KeyP
    {26, 0x1A, 0xDB},    // BracketLeft: VK_OEM_4
    {27, 0x1B, 0xDD},    // BracketRight: VK_OEM_6
    {28, 0x1C, 0x0D},    // Enter
    {29, 0x1D, 0xA2},    // ControlLeft: VK_LCONTROL
    {30, 0x1E, 'A'},     // KeyA
    {31, 0x1F, 'S'},     // KeyS
    {32, 0x20, 'D'},     // KeyD
    {33, 0x21, 'F'},     // KeyF
    {34, 0x22, 'G'},     // KeyG
    {35, 0x23, 'H'},     // KeyH
    {36, 0x24, 'J'},     // KeyJ
    {37, 0x25, 'K'},     // KeyK
    {38, 0x26, 'L'},     // KeyL
    {39, 0x27, 0xBA},    // Semicolon: VK_OEM_1
    {40, 0x28, 0xDE},    // Quote: VK_OEM_7
    {41, 0x29, 0xC0},    // Backquote (Hankaku/Zenkaku on a Japanese keyboard): VK_OEM_3
    {42, 0x2A, 0xA0},    // ShiftLeft: VK_LSHIFT
    {43, 0x2B, 0xDC},    // Backslash: VK_OEM_5
    {44, 0x2C, 'Z'},     // KeyZ
    {45, 0x2D, 'X'},     // KeyX
    {46, 0x2E, 'C'},     // KeyC
    {47, 0x2F, 'V'},     // KeyV
    {48, 0x30, 'B'},     // KeyB
    {49, 0x31, 'N'},     // KeyN
    {50, 0x32, 'M'},     // KeyM
    {51, 0x33, 0xBC},    // Comma: VK_OEM_COMMA
    {52, 0x34, 0xBE},    // Period: VK_OEM_PERIOD
    {53, 0x35, 0xBF},    // Slash: VK_OEM_2
    {54, 0x36, 0xA1},    // ShiftRight: not extended, VK_RSHIFT
    {55, 0x37, 0x6A},    // NumpadMultiply
    {56, 0x38, 0xA4},    // AltLeft: VK_LMENU
    {57, 0x39, 0x20},    // Space
    {58, 0x3A, 0x14},    // CapsLock
    {59, 0x3B, 0x70},    // F1
    {60, 0x3C, 0x71},    // F2
    {61, 0x3D, 0x72},    // F3
    {62, 0x3E, 0x73},    // F4
    {63, 0x3F, 0x74},    // F5
    {64, 0x40, 0x75},    // F6
    {65, 0x41, 0x76},    // F7
    {66, 0x42, 0x77},    // F8
    {67, 0x43, 0x78},    // F9
    {68, 0x44, 0x79},    // F10
    {69, 0xE045, 0x90},  // NumLock: the hook flags it extended; Pause shares the code
    {70, 0x46, 0x91},    // ScrollLock
    {71, 0x47, 0x67},    // Numpad7
    {72, 0x48, 0x68},    // Numpad8
    {73, 0x49, 0x69},    // Numpad9
    {74, 0x4A, 0x6D},    // NumpadSubtract
    {75, 0x4B, 0x64},    // Numpad4
    {76, 0x4C, 0x65},    // Numpad5
    {77, 0x4D, 0x66},    // Numpad6
    {78, 0x4E, 0x6B},    // NumpadAdd
    {79, 0x4F, 0x61},    // Numpad1
    {80, 0x50, 0x62},    // Numpad2
    {81, 0x51, 0x63},    // Numpad3
    {82, 0x52, 0x60},    // Numpad0
    {83, 0x53, 0x6E},    // NumpadDecimal
    {86, 0x56, 0xE2},    // IntlBackslash: VK_OEM_102
    {87, 0x57, 0x7A},    // F11
    {88, 0x58, 0x7B},    // F12
    {89, 0x73, 0xE2},    // IntlRo: VK_OEM_102 on the Japanese layout
    {92, 0x79, 0x1C},    // Convert (Henkan): VK_CONVERT
    {93, 0x70, 0x15},    // KanaMode (Katakana/Hiragana): VK_KANA
    {94, 0x7B, 0x1D},    // NonConvert (Muhenkan): VK_NONCONVERT
    {96, 0xE01C, 0x0D},  // NumpadEnter
    {97, 0xE01D, 0xA3},  // ControlRight: VK_RCONTROL
    {98, 0xE035, 0x6F},  // NumpadDivide
    {99, 0xE037, 0x2C},  // PrintScreen: VK_SNAPSHOT
    {100, 0xE038, 0xA5}, // AltRight: VK_RMENU
    {102, 0xE047, 0x24}, // Home
    {103, 0xE048, 0x26}, // ArrowUp
    {104, 0xE049, 0x21}, // PageUp
    {105, 0xE04B, 0x25}, // ArrowLeft
    {106, 0xE04D, 0x27}, // ArrowRight
    {107, 0xE04F, 0x23}, // End
    {108, 0xE050, 0x28}, // ArrowDown
    {109, 0xE051, 0x22}, // PageDown
    {110, 0xE052, 0x2D}, // Insert
    {111, 0xE053, 0x2E}, // Delete
    {113, 0xE020, 0xAD}, // volume mute: no name, counted as unknown as on Windows
    {114, 0xE02E, 0xAE}, // volume down
    {115, 0xE030, 0xAF}, // volume up
    {117, 0x59, 0x0C},   // NumpadEqual: VK_CLEAR
    {119, 0x45, 0x13},   // Pause: scan code 0x45 without the extended flag, VK_PAUSE
    {121, 0x7E, 0x6C},   // NumpadComma: VK_SEPARATOR
    {124, 0x7D, 0xDC},   // IntlYen: VK_OEM_5 on the Japanese layout
    {125, 0xE05B, 0x5B}, // MetaLeft: VK_LWIN
    {126, 0xE05C, 0x5C}, // MetaRight: VK_RWIN
    {127, 0xE05D, 0x5D}, // ContextMenu: VK_APPS
    {163, 0xE019, 0xB0}, // next track
    {164, 0xE022, 0xB3}, // play/pause
    {165, 0xE010, 0xB1}, // previous track
    {166, 0xE024, 0xB2}, // stop
    {183, 0x64, 0x7C},   // F13
    {184, 0x65, 0x7D},   // F14
    {185, 0x66, 0x7E},   // F15
    {186, 0x67, 0x7F},   // F16
    {187, 0x68, 0x80},   // F17
    {188, 0x69, 0x81},   // F18
    {189, 0x6A, 0x82},   // F19
    {190, 0x6B, 0x83},   // F20
    {191, 0x6C, 0x84},   // F21
    {192, 0x6D, 0x85},   // F22
    {193, 0x6E, 0x86},   // F23
    {194, 0x76, 0x87},   // F24
};

constexpr std::uint32_t VK_SHIFT = 0x10;
constexpr std::uint32_t VK_MENU = 0x12;
constexpr std::uint32_t VK_LSHIFT = 0xA0;

HookKey hook_key_of(const Row &row)
{
	HookKey key;
	key.extended = (row.scan_key & 0xFF00) == 0xE000;
	key.scancode = row.scan_key & 0xFF;
	key.vk = row.vk;
	return key;
}

// Whether a row's key answers a query for `vk`: its own code, or the generic code of its side pair.
bool row_reports(const Row &row, std::uint32_t vk)
{
	if (row.vk == vk)
		return true;
	if (vk >= VK_SHIFT && vk <= VK_MENU) {
		const std::uint32_t left = VK_LSHIFT + 2 * (vk - VK_SHIFT);
		return row.vk == left || row.vk == left + 1;
	}
	return false;
}

} // namespace

std::optional<HookKey> hook_key_from_x11(std::uint32_t keycode)
{
	if (keycode < X11_KEYCODE_OFFSET)
		return std::nullopt;
	const std::uint32_t evdev = keycode - X11_KEYCODE_OFFSET;
	const auto found =
	    std::find_if(std::begin(ROWS), std::end(ROWS), [evdev](const Row &row) { return row.evdev == evdev; });
	if (found == std::end(ROWS))
		return std::nullopt;
	return hook_key_of(*found);
}

std::vector<std::uint32_t> x11_keycodes_for_vk(std::uint32_t vk)
{
	std::vector<std::uint32_t> keycodes;
	for (const Row &row : ROWS) {
		if (row_reports(row, vk))
			keycodes.push_back(row.evdev + X11_KEYCODE_OFFSET);
	}
	return keycodes;
}

bool x11_vk_is_down(const X11KeyBits &bits, std::uint32_t vk)
{
	const std::vector<std::uint32_t> keycodes = x11_keycodes_for_vk(vk);
	return std::any_of(keycodes.begin(), keycodes.end(),
			   [&bits](std::uint32_t keycode) { return (bits[keycode / 8] >> (keycode % 8) & 1) != 0; });
}

} // namespace clackery
