// Skin and sound-pack descriptions: never a crash; a name that is returned follows the name
// rules and reads back the same when written out again.
#include "common/json_reader.h"
#include "json_escape.h"

#include <cstdint>
#include <cstdlib>

using namespace clackery;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	const std::string_view text(reinterpret_cast<const char *>(data), size);
	const DisplayNameDocument doc = read_display_name_document(text);
	if (!doc.ok) {
		if (!doc.display_name.empty())
			std::abort();
		return 0;
	}
	if (size > kMaxDisplayNameDocumentBytes)
		std::abort();
	if (doc.display_name.empty())
		return 0;
	if (!is_acceptable_display_name(doc.display_name))
		std::abort();
	const DisplayNameDocument again =
	    read_display_name_document("{\"displayName\":" + json_quote(doc.display_name) + "}");
	if (!again.ok || again.display_name != doc.display_name)
		std::abort();
	return 0;
}
