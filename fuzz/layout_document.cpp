// Layout documents: never a crash, and whatever is returned obeys the reader's promises and
// reads back the same when written out again.
#include "layouts/layout_document.h"
#include "common/text.h"
#include "json_escape.h"

#include <cstdint>
#include <cstdlib>
#include <set>

using namespace clackery;

namespace {

std::string write_layout(const std::vector<LayoutEntry> &entries)
{
	std::string text = R"({"rows":[{"keys":[)";
	for (std::size_t i = 0; i < entries.size(); ++i) {
		const LayoutEntry &e = entries[i];
		text += (i ? "," : "") + std::string(R"({"code":)") + json_quote(e.code) + R"(,"label":)" +
			json_quote(e.label) + R"(,"shift":)" + json_quote(e.shift) + "}";
	}
	return text + "]}]}";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	const std::string_view text(reinterpret_cast<const char *>(data), size);
	const std::vector<LayoutEntry> entries = read_layout_document(text);
	if (entries.empty())
		return 0;
	if (entries.size() > kMaxLayoutEntries || size > kMaxLayoutDocumentBytes)
		std::abort();
	std::set<std::string> codes;
	for (const LayoutEntry &e : entries) {
		if (e.code.empty() || !codes.insert(e.code).second)
			std::abort();
		if (!is_valid_utf8(e.code) || !is_valid_utf8(e.label) || !is_valid_utf8(e.shift))
			std::abort();
	}
	const std::vector<LayoutEntry> again = read_layout_document(write_layout(entries));
	if (again.size() != entries.size())
		std::abort();
	for (std::size_t i = 0; i < entries.size(); ++i) {
		if (again[i].code != entries[i].code || again[i].label != entries[i].label ||
		    again[i].shift != entries[i].shift)
			std::abort();
	}
	return 0;
}
