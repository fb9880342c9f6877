#pragma once
// Readers for the module's own JSON data files: layouts, and the display names of skins and
// sound packs. They build no tree, keep only what they need and refuse everything else whole:
// a refused document gives an empty result, never an exception.

#include "common/records.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace clackery {

constexpr std::size_t kMaxLayoutDocumentBytes = 0x100000;
constexpr std::size_t kMaxLayoutEntries = 512;
constexpr std::size_t kMaxDisplayNameDocumentBytes = 0x10000;

// Every key with a non-empty "code" from rows[].keys[], in document order. Empty when the
// document is refused (malformed, too large, a code twice, more than 512 keys).
std::vector<LayoutEntry> read_layout_document(std::string_view text);

struct DisplayNameDocument {
	bool ok = false;
	std::string display_name; // empty when the document has no "displayName"
};

// A JSON object whose optional "displayName" is a short, visible, single-line name.
DisplayNameDocument read_display_name_document(std::string_view text);

// The rules a "displayName" value must meet: 1 to 80 code points, at most 320 bytes, not
// only spaces, no control or invisible formatting characters.
bool is_acceptable_display_name(std::string_view name);

} // namespace clackery
