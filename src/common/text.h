#pragma once
// Text utilities shared by the key text, the dock's text field and the data readers. Every
// position sent to the page counts UTF-16 code units, as the browser does.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace clackery {

constexpr char32_t kReplacementChar = 0xFFFD;

// Each invalid or truncated sequence, overlong form, encoded surrogate or value above
// U+10FFFF becomes one U+FFFD and consumes one byte.
std::vector<char32_t> utf8_to_code_points(std::string_view text);

// Surrogates and values above U+10FFFF become U+FFFD.
std::string code_points_to_utf8(const std::vector<char32_t> &code_points);
void append_utf8(std::string &out, char32_t code_point);

// True when decoding and re-encoding gives the same bytes.
bool is_valid_utf8(std::string_view text);

std::uint64_t utf16_length(const std::vector<char32_t> &code_points);

constexpr std::size_t kTextWindowCodePoints = 4000;

struct TextWindow {
	std::string text;          // the last 4000 code points, UTF-8
	std::uint64_t cursor = 0;  // the cursor inside `text`, UTF-16 units
	std::uint64_t dropped = 0; // UTF-16 units removed from the front
};

// Keeps the tail of `text` that the page shows and maps a UTF-16 cursor into it. A cursor
// inside a surrogate pair moves before the pair; one past the end means the end; one in the
// dropped front becomes 0.
TextWindow text_window(std::string_view text, std::uint64_t cursor);

// The shape rules a font family name must meet before it is compared with the installed
// families: 1 to 128 bytes, no space at either end, valid UTF-8, no control or line/paragraph
// separator characters.
bool is_clean_font_name(std::string_view name);

} // namespace clackery
