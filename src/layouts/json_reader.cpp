#include "layouts/json_reader.h"

#include "common/text.h"
#include "layouts/json_cursor.h"

#include <algorithm>
#include <exception>
#include <unordered_set>

namespace clackery {
namespace {

constexpr std::size_t kMaxDisplayNameCodePoints = 80;
constexpr std::size_t kMaxDisplayNameBytes = 320;

struct LayoutReader {
	JsonCursor cursor;
	std::vector<LayoutEntry> entries;
	std::unordered_set<std::string> codes;

	void read_key()
	{
		LayoutEntry entry;
		read_object(cursor, [&](const std::string &name) {
			if (name == "code")
				entry.code = read_string(cursor);
			else if (name == "label")
				entry.label = read_string(cursor);
			else if (name == "shift")
				entry.shift = read_string(cursor);
			else
				skip_value(cursor, 0);
		});
		if (entry.code.empty())
			return;
		if (entries.size() >= kMaxLayoutEntries || !codes.insert(entry.code).second)
			json_fail();
		entries.push_back(std::move(entry));
	}

	void read_row()
	{
		read_object(cursor, [&](const std::string &name) {
			if (name == "keys")
				read_array(cursor, [&] { read_key(); });
			else
				skip_value(cursor, 0);
		});
	}

	void read_document()
	{
		if (cursor.text.size() > kMaxLayoutDocumentBytes)
			json_fail();
		read_object(cursor, [&](const std::string &name) {
			if (name == "rows")
				read_array(cursor, [&] { read_row(); });
			else
				skip_value(cursor, 0);
		});
		expect_end(cursor);
	}
};

bool is_hidden_code_point(char32_t cp)
{
	return cp <= 0x1F || (cp >= 0x7F && cp <= 0x9F) || cp == 0x061C || (cp >= 0x200B && cp <= 0x200F) ||
	       (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF;
}

} // namespace

std::vector<LayoutEntry> read_layout_document(std::string_view text)
{
	try {
		LayoutReader reader{JsonCursor{text, 0}, {}, {}};
		reader.read_document();
		return std::move(reader.entries);
	} catch (const std::exception &) {
		// JsonError for any malformed input; an allocation failure refuses the file the same way.
		return {};
	}
}

bool is_acceptable_display_name(std::string_view name)
{
	if (name.size() > kMaxDisplayNameBytes || !is_valid_utf8(name))
		return false;
	const std::vector<char32_t> cps = utf8_to_code_points(name);
	if (cps.empty() || cps.size() > kMaxDisplayNameCodePoints)
		return false;
	const bool blank = std::all_of(cps.begin(), cps.end(), [](char32_t cp) { return cp == 0x20 || cp == 0x3000; });
	return !blank && std::none_of(cps.begin(), cps.end(), is_hidden_code_point);
}

DisplayNameDocument read_display_name_document(std::string_view text)
{
	try {
		if (text.size() > kMaxDisplayNameDocumentBytes)
			json_fail();
		JsonCursor cursor{text, 0};
		DisplayNameDocument doc;
		bool seen = false;
		read_object(cursor, [&](const std::string &name) {
			if (name != "displayName") {
				skip_value(cursor, 0);
				return;
			}
			if (seen)
				json_fail();
			seen = true;
			doc.display_name = read_string(cursor);
			if (!is_acceptable_display_name(doc.display_name))
				json_fail();
		});
		expect_end(cursor);
		doc.ok = true;
		return doc;
	} catch (const std::exception &) {
		return {};
	}
}

} // namespace clackery
