#include "common/json_cursor.h"

#include "common/text.h"

namespace clackery {
namespace {

bool is_whitespace(char c)
{
	return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_digit(char c)
{
	return c >= '0' && c <= '9';
}

char next_byte(JsonCursor &cursor)
{
	if (cursor.pos >= cursor.text.size())
		json_fail();
	return cursor.text[cursor.pos++];
}

char peek_byte(const JsonCursor &cursor)
{
	if (cursor.pos >= cursor.text.size())
		json_fail();
	return cursor.text[cursor.pos];
}

bool at(const JsonCursor &cursor, char c)
{
	return cursor.pos < cursor.text.size() && cursor.text[cursor.pos] == c;
}

char32_t read_hex4(JsonCursor &cursor)
{
	char32_t value = 0;
	for (int i = 0; i < 4; ++i) {
		const char c = next_byte(cursor);
		char32_t digit = 0;
		if (c >= '0' && c <= '9')
			digit = static_cast<char32_t>(c - '0');
		else if (c >= 'a' && c <= 'f')
			digit = static_cast<char32_t>(c - 'a' + 10);
		else if (c >= 'A' && c <= 'F')
			digit = static_cast<char32_t>(c - 'A' + 10);
		else
			json_fail();
		value = value * 16 + digit;
	}
	return value;
}

// After the "\u": one code point, a surrogate pair joined, a lone half refused.
char32_t read_unicode_escape(JsonCursor &cursor)
{
	const char32_t high = read_hex4(cursor);
	if (high >= 0xDC00 && high <= 0xDFFF)
		json_fail();
	if (high < 0xD800 || high > 0xDBFF)
		return high;
	if (next_byte(cursor) != '\\' || next_byte(cursor) != 'u')
		json_fail();
	const char32_t low = read_hex4(cursor);
	if (low < 0xDC00 || low > 0xDFFF)
		json_fail();
	return 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00);
}

void append_escape(JsonCursor &cursor, std::string &out)
{
	const char c = next_byte(cursor);
	switch (c) {
	case '"':
	case '/':
	case '\\':
		out.push_back(c);
		return;
	case 'b':
		out.push_back('\b');
		return;
	case 'f':
		out.push_back('\f');
		return;
	case 'n':
		out.push_back('\n');
		return;
	case 'r':
		out.push_back('\r');
		return;
	case 't':
		out.push_back('\t');
		return;
	case 'u':
		append_utf8(out, read_unicode_escape(cursor));
		return;
	default:
		json_fail();
	}
}

void skip_digits(JsonCursor &cursor)
{
	while (cursor.pos < cursor.text.size() && is_digit(cursor.text[cursor.pos]))
		++cursor.pos;
}

// At least one digit, then any more.
void skip_required_digits(JsonCursor &cursor)
{
	if (!is_digit(peek_byte(cursor)))
		json_fail();
	skip_digits(cursor);
}

// A leading 0 ends the integer part; a digit after it is left for the caller, which fails.
void skip_number(JsonCursor &cursor)
{
	if (at(cursor, '-'))
		++cursor.pos;
	const char first = peek_byte(cursor);
	if (first == '0')
		++cursor.pos;
	else if (first >= '1' && first <= '9')
		skip_digits(cursor);
	else
		json_fail();
	if (at(cursor, '.')) {
		++cursor.pos;
		skip_required_digits(cursor);
	}
	if (at(cursor, 'e') || at(cursor, 'E')) {
		++cursor.pos;
		if (at(cursor, '+') || at(cursor, '-'))
			++cursor.pos;
		skip_required_digits(cursor);
	}
}

bool take_literal(JsonCursor &cursor, std::string_view literal)
{
	if (cursor.text.substr(cursor.pos, literal.size()) != literal)
		return false;
	cursor.pos += literal.size();
	return true;
}

} // namespace

JsonError::JsonError() : std::runtime_error("配列を読めません") {}

void json_fail()
{
	throw JsonError();
}

void skip_whitespace(JsonCursor &cursor)
{
	while (cursor.pos < cursor.text.size() && is_whitespace(cursor.text[cursor.pos]))
		++cursor.pos;
}

void expect_byte(JsonCursor &cursor, char c)
{
	skip_whitespace(cursor);
	if (next_byte(cursor) != c)
		json_fail();
}

bool take_byte(JsonCursor &cursor, char c)
{
	skip_whitespace(cursor);
	if (peek_byte(cursor) != c)
		return false;
	++cursor.pos;
	return true;
}

void expect_end(JsonCursor &cursor)
{
	skip_whitespace(cursor);
	if (cursor.pos != cursor.text.size())
		json_fail();
}

std::string read_string(JsonCursor &cursor)
{
	expect_byte(cursor, '"');
	std::string out;
	for (;;) {
		const char c = next_byte(cursor);
		if (c == '"')
			break;
		if (static_cast<unsigned char>(c) < 0x20)
			json_fail();
		if (c == '\\')
			append_escape(cursor, out);
		else
			out.push_back(c);
	}
	// Escapes always give valid UTF-8, so this refuses only raw bytes that are not.
	if (!is_valid_utf8(out))
		json_fail();
	return out;
}

void skip_value(JsonCursor &cursor, int depth)
{
	if (depth > kMaxSkipDepth)
		json_fail();
	skip_whitespace(cursor);
	switch (peek_byte(cursor)) {
	case '"':
		read_string(cursor);
		return;
	case '{':
		read_object(cursor, [&](const std::string &) { skip_value(cursor, depth + 1); });
		return;
	case '[':
		read_array(cursor, [&] { skip_value(cursor, depth + 1); });
		return;
	default:
		break;
	}
	if (take_literal(cursor, "true") || take_literal(cursor, "false") || take_literal(cursor, "null"))
		return;
	skip_number(cursor);
}

} // namespace clackery
