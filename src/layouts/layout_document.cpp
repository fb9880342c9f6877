#include "layouts/layout_document.h"

#include "common/json_cursor.h"

#include <exception>
#include <unordered_set>

namespace clackery {
namespace {

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

} // namespace clackery
