#pragma once
// The layout document: the keys of a layout file, read with the strict JSON reader. A refused
// document gives an empty result, never an exception.

#include "common/records.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace clackery {

constexpr std::size_t kMaxLayoutDocumentBytes = 0x100000;
constexpr std::size_t kMaxLayoutEntries = 512;

// Every key with a non-empty "code" from rows[].keys[], in document order. Empty when the
// document is refused (malformed, too large, a code twice, more than 512 keys).
std::vector<LayoutEntry> read_layout_document(std::string_view text);

} // namespace clackery
