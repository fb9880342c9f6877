#pragma once
// The module's strict reader for its own JSON data files (its primitives are in json_cursor.h)
// and the display-name documents of skins and sound packs read with it. Readers build no tree,
// keep only what they need and refuse everything else whole: a refused document gives an empty
// result, never an exception.

#include <cstddef>
#include <string>
#include <string_view>

namespace clackery {

constexpr std::size_t kMaxDisplayNameDocumentBytes = 0x10000;

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
