#include "common/ids.h"

#include "common/text.h"

namespace clackery {

bool is_valid_id(std::string_view id)
{
	if (id.empty() || id.size() > 128)
		return false;
	for (char c : id) {
		const auto byte = static_cast<unsigned char>(c);
		const bool ok = byte >= 0x80 || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
				(byte >= '0' && byte <= '9') || byte == '_' || byte == '-';
		if (!ok)
			return false;
	}
	// Ids reach the page inside JSON: bytes above 0x7F must form whole UTF-8 characters.
	return is_valid_utf8(id);
}

} // namespace clackery
