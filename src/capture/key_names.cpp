#include "capture/key_names.h"

namespace clackery {

const std::array<ScanName, 124> SCANCODE_NAMES = {{
    {0x01, "Escape"},
    {0x02, "Digit1"},
    {0x03, "Digit2"},
    {0x04, "Digit3"},
    {0x05, "Digit4"},
    {0x06, "Digit5"},
    {0x07, "Digit6"},
    {0x08, "Digit7"},
    {0x09, "Digit8"},
    {0x0A, "Digit9"},
    {0x0B, "Digit0"},
    {0x0C, "Minus"},
    {0x0D, "Equal"},
    {0x0E, "Backspace"},
    {0x0F, "Tab"},
    {0x10, "KeyQ"},
    {0x11, "KeyW"},
    {0x12, "KeyE"},
    {0x13, "KeyR"},
    {0x14, "KeyT"},
    {0x15, "KeyY"},
    {0x16, "KeyU"},
    {0x17, "KeyI"},
    {0x18, "KeyO"},
    {0x19, "KeyP"},
    {0x1A, "BracketLeft"},
    {0x1B, "BracketRight"},
    {0x1C, "Enter"},
    {0x1D, "ControlLeft"},
    {0x1E, "KeyA"},
    {0x1F, "KeyS"},
    {0x20, "KeyD"},
    {0x21, "KeyF"},
    {0x22, "KeyG"},
    {0x23, "KeyH"},
    {0x24, "KeyJ"},
    {0x25, "KeyK"},
    {0x26, "KeyL"},
    {0x27, "Semicolon"},
    {0x28, "Quote"},
    {0x29, "Backquote"},
    {0x2A, "ShiftLeft"},
    {0x2B, "Backslash"},
    {0x2C, "KeyZ"},
    {0x2D, "KeyX"},
    {0x2E, "KeyC"},
    {0x2F, "KeyV"},
    {0x30, "KeyB"},
    {0x31, "KeyN"},
    {0x32, "KeyM"},
    {0x33, "Comma"},
    {0x34, "Period"},
    {0x35, "Slash"},
    {0x36, "ShiftRight"},
    {0x37, "NumpadMultiply"},
    {0x38, "AltLeft"},
    {0x39, "Space"},
    {0x3A, "CapsLock"},
    {0x3B, "F1"},
    {0x3C, "F2"},
    {0x3D, "F3"},
    {0x3E, "F4"},
    {0x3F, "F5"},
    {0x40, "F6"},
    {0x41, "F7"},
    {0x42, "F8"},
    {0x43, "F9"},
    {0x44, "F10"},
    {0x45, "Pause"},
    {0x46, "ScrollLock"},
    {0x47, "Numpad7"},
    {0x48, "Numpad8"},
    {0x49, "Numpad9"},
    {0x4A, "NumpadSubtract"},
    {0x4B, "Numpad4"},
    {0x4C, "Numpad5"},
    {0x4D, "Numpad6"},
    {0x4E, "NumpadAdd"},
    {0x4F, "Numpad1"},
    {0x50, "Numpad2"},
    {0x51, "Numpad3"},
    {0x52, "Numpad0"},
    {0x53, "NumpadDecimal"},
    {0x56, "IntlBackslash"},
    {0x57, "F11"},
    {0x58, "F12"},
    {0x59, "NumpadEqual"},
    {0x64, "F13"},
    {0x65, "F14"},
    {0x66, "F15"},
    {0x67, "F16"},
    {0x68, "F17"},
    {0x69, "F18"},
    {0x6A, "F19"},
    {0x6B, "F20"},
    {0x6C, "F21"},
    {0x6D, "F22"},
    {0x6E, "F23"},
    {0x70, "KanaMode"},
    {0x73, "IntlRo"},
    {0x76, "F24"},
    {0x79, "Convert"},
    {0x7B, "NonConvert"},
    {0x7D, "IntlYen"},
    {0x7E, "NumpadComma"},
    {0xE01C, "NumpadEnter"},
    {0xE01D, "ControlRight"},
    {0xE035, "NumpadDivide"},
    {0xE037, "PrintScreen"},
    {0xE038, "AltRight"},
    {0xE045, "NumLock"},
    {0xE047, "Home"},
    {0xE048, "ArrowUp"},
    {0xE049, "PageUp"},
    {0xE04B, "ArrowLeft"},
    {0xE04D, "ArrowRight"},
    {0xE04F, "End"},
    {0xE050, "ArrowDown"},
    {0xE051, "PageDown"},
    {0xE052, "Insert"},
    {0xE053, "Delete"},
    {0xE05B, "MetaLeft"},
    {0xE05C, "MetaRight"},
    {0xE05D, "ContextMenu"},
}};

namespace {

constexpr std::uint32_t VK_PAUSE_CODE = 0x13;
constexpr std::uint32_t VK_NUMLOCK_CODE = 0x90;

// Direct lookup by scan code: the plain keys, then the extended ones.
struct ScanTable {
	std::array<const char *, 256> plain{};
	std::array<const char *, 256> extended{};
};

ScanTable build_scan_table()
{
	ScanTable table;
	for (const ScanName &row : SCANCODE_NAMES) {
		if (row.scan_key >= 0xE000)
			table.extended[row.scan_key - 0xE000] = row.name;
		else
			table.plain[row.scan_key] = row.name;
	}
	return table;
}

const ScanTable scan_table = build_scan_table();

std::array<const char *, 256> build_vk_table()
{
	std::array<const char *, 256> table{};
	auto run = [&table](std::uint32_t first, std::initializer_list<const char *> names) {
		for (const char *name : names)
			table[first++] = name;
	};
	run(0x08, {"Backspace", "Tab"});
	run(0x0C, {"Numpad5"});
	run(0x10, {"ShiftLeft"});
	run(0x13, {"Pause", "CapsLock", "KanaMode"});
	run(0x1B, {"Escape", "Convert", "NonConvert"});
	run(0x20, {"Space", "PageUp", "PageDown", "End", "Home", "ArrowLeft", "ArrowUp", "ArrowRight", "ArrowDown"});
	run(0x2C, {"PrintScreen", "Insert", "Delete"});
	run(0x30, {"Digit0", "Digit1", "Digit2", "Digit3", "Digit4", "Digit5", "Digit6", "Digit7", "Digit8", "Digit9"});
	run(0x41,
	    {"KeyA", "KeyB", "KeyC", "KeyD", "KeyE", "KeyF", "KeyG", "KeyH", "KeyI", "KeyJ", "KeyK", "KeyL", "KeyM",
	     "KeyN", "KeyO", "KeyP", "KeyQ", "KeyR", "KeyS", "KeyT", "KeyU", "KeyV", "KeyW", "KeyX", "KeyY", "KeyZ"});
	run(0x5B, {"MetaLeft", "MetaRight", "ContextMenu"});
	run(0x60, {"Numpad0", "Numpad1", "Numpad2", "Numpad3", "Numpad4", "Numpad5", "Numpad6", "Numpad7", "Numpad8",
		   "Numpad9"});
	run(0x6A, {"NumpadMultiply", "NumpadAdd", "NumpadComma", "NumpadSubtract", "NumpadDecimal", "NumpadDivide"});
	run(0x70, {"F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",  "F9",  "F10", "F11", "F12",
		   "F13", "F14", "F15", "F16", "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24"});
	run(0x90, {"NumLock", "ScrollLock"});
	run(0xA0, {"ShiftLeft", "ShiftRight", "ControlLeft", "ControlRight", "AltLeft", "AltRight"});
	run(0xBA, {"Semicolon", "Equal", "Comma", "Minus", "Period", "Slash", "Backquote"});
	run(0xDB, {"BracketLeft", "Backslash", "BracketRight", "Quote"});
	run(0xE2, {"IntlBackslash"});
	return table;
}

const std::array<const char *, 256> vk_table = build_vk_table();

} // namespace

const char *name_from_vk(std::uint32_t vk, bool extended)
{
	// The generic Enter, Ctrl and Alt codes tell their side only through the extended flag.
	switch (vk) {
	case 0x0D:
		return extended ? "NumpadEnter" : "Enter";
	case 0x11:
		return extended ? "ControlRight" : "ControlLeft";
	case 0x12:
		return extended ? "AltRight" : "AltLeft";
	default:
		return vk < vk_table.size() ? vk_table[vk] : nullptr;
	}
}

const char *name_key(std::uint32_t scancode, bool extended, std::uint32_t vk)
{
	if (scancode == 0)
		return name_from_vk(vk, extended);
	if (scancode >= 256)
		return nullptr;
	// Pause and NumLock share scan code 0x45 and keyboards disagree on the flag; the vk does not.
	if (scancode == 0x45) {
		if (vk == VK_PAUSE_CODE)
			return "Pause";
		if (vk == VK_NUMLOCK_CODE)
			return "NumLock";
	}
	return extended ? scan_table.extended[scancode] : scan_table.plain[scancode];
}

ModifierClass modifier_class(std::string_view name)
{
	if (name == "ControlLeft" || name == "ControlRight")
		return ModifierClass::ctrl;
	if (name == "ShiftLeft" || name == "ShiftRight")
		return ModifierClass::shift;
	if (name == "AltLeft" || name == "AltRight")
		return ModifierClass::alt;
	if (name == "MetaLeft" || name == "MetaRight")
		return ModifierClass::win;
	return ModifierClass::none;
}

std::uint32_t sided_vk(std::string_view name, std::uint32_t recorded_vk)
{
	if (name == "ShiftLeft")
		return 0xA0;
	if (name == "ShiftRight")
		return 0xA1;
	if (name == "ControlLeft")
		return 0xA2;
	if (name == "ControlRight")
		return 0xA3;
	if (name == "AltLeft")
		return 0xA4;
	if (name == "AltRight")
		return 0xA5;
	return recorded_vk;
}

void add_modifier(Modifiers &modifiers, std::string_view name)
{
	switch (modifier_class(name)) {
	case ModifierClass::ctrl:
		modifiers.ctrl = true;
		break;
	case ModifierClass::shift:
		modifiers.shift = true;
		break;
	case ModifierClass::alt:
		modifiers.alt = true;
		break;
	case ModifierClass::win:
		modifiers.win = true;
		break;
	case ModifierClass::none:
		break;
	}
}

} // namespace clackery
