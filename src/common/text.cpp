#include "common/text.h"

#include <algorithm>

namespace clackery {
namespace {

bool is_continuation(unsigned char byte)
{
	return (byte & 0xC0) == 0x80;
}

// Decodes one well-formed sequence at `pos`; returns its length, or 0 when it is not one.
std::size_t decode_one(std::string_view text, std::size_t pos, char32_t &out)
{
	const auto lead = static_cast<unsigned char>(text[pos]);
	if (lead < 0x80) {
		out = lead;
		return 1;
	}
	std::size_t length = 0;
	char32_t value = 0;
	char32_t minimum = 0;
	if ((lead & 0xE0) == 0xC0) {
		length = 2;
		value = lead & 0x1F;
		minimum = 0x80;
	} else if ((lead & 0xF0) == 0xE0) {
		length = 3;
		value = lead & 0x0F;
		minimum = 0x800;
	} else if ((lead & 0xF8) == 0xF0) {
		length = 4;
		value = lead & 0x07;
		minimum = 0x10000;
	} else {
		return 0;
	}
	if (text.size() - pos < length)
		return 0;
	for (std::size_t i = 1; i < length; ++i) {
		const auto byte = static_cast<unsigned char>(text[pos + i]);
		if (!is_continuation(byte))
			return 0;
		value = (value << 6) | (byte & 0x3F);
	}
	if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
		return 0;
	out = value;
	return length;
}

} // namespace

std::vector<char32_t> utf8_to_code_points(std::string_view text)
{
	std::vector<char32_t> out;
	out.reserve(text.size());
	std::size_t pos = 0;
	while (pos < text.size()) {
		char32_t cp = 0;
		const std::size_t used = decode_one(text, pos, cp);
		if (used == 0) {
			out.push_back(kReplacementChar);
			++pos;
		} else {
			out.push_back(cp);
			pos += used;
		}
	}
	return out;
}

void append_utf8(std::string &out, char32_t cp)
{
	if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
		cp = kReplacementChar;
	if (cp < 0x80) {
		out.push_back(static_cast<char>(cp));
	} else if (cp < 0x800) {
		out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
		out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
	} else if (cp < 0x10000) {
		out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
		out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
		out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
	} else {
		out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
		out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
		out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
		out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
	}
}

std::string code_points_to_utf8(const std::vector<char32_t> &code_points)
{
	std::string out;
	out.reserve(code_points.size());
	for (char32_t cp : code_points)
		append_utf8(out, cp);
	return out;
}

bool is_valid_utf8(std::string_view text)
{
	return code_points_to_utf8(utf8_to_code_points(text)) == text;
}

static std::uint64_t utf16_units(char32_t cp)
{
	return cp > 0xFFFF ? 2 : 1;
}

std::uint64_t utf16_length(const std::vector<char32_t> &code_points)
{
	std::uint64_t units = 0;
	for (char32_t cp : code_points)
		units += utf16_units(cp);
	return units;
}

TextWindow text_window(std::string_view text, std::uint64_t cursor)
{
	std::vector<char32_t> cps = utf8_to_code_points(text);

	// The cursor as the number of code points that end at or before it.
	std::size_t index = 0;
	std::uint64_t units = 0;
	while (index < cps.size() && units + utf16_units(cps[index]) <= cursor) {
		units += utf16_units(cps[index]);
		++index;
	}

	const std::size_t drop = cps.size() > kTextWindowCodePoints ? cps.size() - kTextWindowCodePoints : 0;
	TextWindow window;
	for (std::size_t i = 0; i < drop; ++i)
		window.dropped += utf16_units(cps[i]);
	const std::size_t kept_index = index > drop ? index - drop : 0;
	for (std::size_t i = drop; i < drop + kept_index; ++i)
		window.cursor += utf16_units(cps[i]);
	cps.erase(cps.begin(), cps.begin() + static_cast<std::ptrdiff_t>(drop));
	window.text = code_points_to_utf8(cps);
	return window;
}

bool is_clean_font_name(std::string_view name)
{
	if (name.empty() || name.size() > 128 || name.front() == ' ' || name.back() == ' ')
		return false;
	if (!is_valid_utf8(name))
		return false;
	const auto cps = utf8_to_code_points(name);
	return std::none_of(cps.begin(), cps.end(), [](char32_t cp) {
		return cp <= 31 || (cp >= 127 && cp <= 159) || cp == 0x2028 || cp == 0x2029;
	});
}

} // namespace clackery
