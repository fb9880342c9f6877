#pragma once
// The primitives of our strict JSON reader for shipped data files. They throw JsonError on
// any deviation; only the document readers (json_reader.h, layouts/layout_document.h) call
// them, and those catch it, so the error never leaves a reader.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace clackery {

// Deepest container nesting that skip_value accepts below the level where skipping began.
constexpr int kMaxSkipDepth = 32;

struct JsonCursor {
	std::string_view text;
	std::size_t pos = 0;
};

// The one error of the reader. It carries no position or cause: callers see only that the
// document was refused.
class JsonError : public std::runtime_error {
public:
	JsonError();
};

[[noreturn]] void json_fail();

void skip_whitespace(JsonCursor &cursor);
// Skips whitespace, then consumes `c` or fails.
void expect_byte(JsonCursor &cursor, char c);
// Skips whitespace, then consumes `c` if it is next.
bool take_byte(JsonCursor &cursor, char c);
// After the top-level value only whitespace may follow.
void expect_end(JsonCursor &cursor);

// A JSON string as valid UTF-8 (escapes decoded, surrogate pairs joined).
std::string read_string(JsonCursor &cursor);
// Validates and skips one value of any kind; containers may nest kMaxSkipDepth deep.
void skip_value(JsonCursor &cursor, int depth);

// Reads an object, handing each member name to `on_member`, which must consume the value.
template <typename OnMember> void read_object(JsonCursor &cursor, OnMember &&on_member)
{
	expect_byte(cursor, '{');
	if (take_byte(cursor, '}'))
		return;
	for (;;) {
		const std::string name = read_string(cursor);
		expect_byte(cursor, ':');
		on_member(name);
		if (take_byte(cursor, ','))
			continue;
		expect_byte(cursor, '}');
		return;
	}
}

// Reads an array, calling `on_element` to consume each element.
template <typename OnElement> void read_array(JsonCursor &cursor, OnElement &&on_element)
{
	expect_byte(cursor, '[');
	if (take_byte(cursor, ']'))
		return;
	for (;;) {
		on_element();
		if (take_byte(cursor, ','))
			continue;
		expect_byte(cursor, ']');
		return;
	}
}

} // namespace clackery
