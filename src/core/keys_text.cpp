#include "core/keys_text.h"

#include "common/text.h"

#include <cstring>

namespace clackery {
namespace {

constexpr char32_t kMaskDot = 0x2022;
constexpr const char *kYenSigns[] = {"\xC2\xA5", "\xEF\xBF\xA5"}; // U+00A5, U+FFE5

bool starts_with(std::string_view text, std::string_view prefix)
{
	return text.substr(0, prefix.size()) == prefix;
}

// The one printable ASCII character a key types, or none.
std::optional<char> layout_character(const std::vector<LayoutEntry> *layout, std::string_view code, bool shift)
{
	if (!layout)
		return std::nullopt;
	for (const LayoutEntry &entry : *layout) {
		if (entry.code != code)
			continue;
		std::string_view label = shift ? entry.shift : entry.label;
		if (label.empty())
			return std::nullopt;
		// JIS keyboards print the yen sign on the key that types a backslash.
		if (code == "IntlYen" && !shift && (label == kYenSigns[0] || label == kYenSigns[1]))
			label = "\\";
		if (label.size() != 1 || label[0] < 0x20 || label[0] > 0x7E)
			return std::nullopt;
		char c = label[0];
		if (starts_with(code, "Key") && c >= 'a' && c <= 'z' && shift)
			c = static_cast<char>(c - 'a' + 'A');
		else if (starts_with(code, "Key") && c >= 'A' && c <= 'Z' && !shift)
			c = static_cast<char>(c - 'A' + 'a');
		return c;
	}
	return std::nullopt;
}

void keep_last_window(KeysText &text)
{
	auto &cps = text.code_points;
	if (cps.size() > kTextWindowCodePoints)
		cps.erase(cps.begin(), cps.end() - static_cast<std::ptrdiff_t>(kTextWindowCodePoints));
}

std::vector<char32_t> shown(const std::vector<char32_t> &cps, bool mask)
{
	if (!mask)
		return cps;
	std::vector<char32_t> out(cps);
	for (char32_t &cp : out) {
		if (cp != U'\n')
			cp = kMaskDot;
	}
	return out;
}

TextFrame frame(const KeysText &text, const char *op, std::vector<char32_t> added, bool mask)
{
	const std::vector<char32_t> visible = shown(text.code_points, mask);
	TextFrame out;
	out.op = op;
	out.committed = code_points_to_utf8(shown(added, mask));
	out.text = code_points_to_utf8(visible);
	out.cursor = 0;
	out.caret = static_cast<std::int64_t>(utf16_length(visible));
	return out;
}

} // namespace

bool is_text_key_code(std::string_view code)
{
	if (code.size() == 4 && starts_with(code, "Key"))
		return code[3] >= 'A' && code[3] <= 'Z';
	if (code.size() == 6 && starts_with(code, "Digit"))
		return code[5] >= '0' && code[5] <= '9';
	for (const char *name : {"Minus", "Equal", "BracketLeft", "BracketRight", "Backslash", "Semicolon", "Quote",
				 "Comma", "Period", "Slash", "IntlYen", "IntlRo", "Backquote"}) {
		if (code == name)
			return true;
	}
	return false;
}

std::optional<TextFrame> type_from_key(KeysText &text, const KeyEvent &event, const KeyTypingContext &context)
{
	if (!context.keys_mode || context.dock_has_text || !event.down || event.mods.ctrl || event.mods.alt ||
	    event.mods.win || !event.code)
		return std::nullopt;
	const std::string_view code = event.code;
	const char *op = "type";
	std::vector<char32_t> added;
	if (code == "Backspace") {
		if (text.code_points.empty())
			return std::nullopt;
		text.code_points.pop_back();
		op = "backspace";
	} else if (code == "Enter" || code == "NumpadEnter") {
		added = {U'\n'};
		op = "enter";
	} else if (code == "Space") {
		added = {U' '};
	} else if (is_text_key_code(code)) {
		const std::optional<char> c = layout_character(context.layout, code, event.mods.shift);
		if (!c)
			return std::nullopt;
		added = {static_cast<char32_t>(*c)};
	} else {
		return std::nullopt;
	}
	if (context.conceal) {
		for (char32_t &cp : added) {
			if (cp != U'\n')
				cp = kMaskDot;
		}
	}
	text.code_points.insert(text.code_points.end(), added.begin(), added.end());
	keep_last_window(text);
	return frame(text, op, added, context.mask);
}

TextFrame keys_text_frame(const KeysText &text, bool mask)
{
	return frame(text, "type", {}, mask);
}

void clear_keys_text(KeysText &text)
{
	text.code_points.clear();
}

} // namespace clackery
