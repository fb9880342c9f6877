#include "common/json_reader.h"

#include "common/json_cursor.h"
#include "common/text.h"

#include <algorithm>
#include <exception>

namespace clackery {
namespace {

constexpr std::size_t kMaxDisplayNameCodePoints = 80;
constexpr std::size_t kMaxDisplayNameBytes = 320;

bool is_hidden_code_point(char32_t cp)
{
	return cp <= 0x1F || (cp >= 0x7F && cp <= 0x9F) || cp == 0x061C || (cp >= 0x200B && cp <= 0x200F) ||
	       (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF;
}

} // namespace

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
