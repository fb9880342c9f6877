#pragma once
// The installed text layout: the labels from which the "keys" text source types. Replaced
// whole when the layout changes, never edited. UI thread only.

#include "common/records.h"

#include <vector>

namespace clackery {

using TextLayout = std::vector<LayoutEntry>;

// Empty until a layout is installed; an empty layout types no characters from key labels.
const TextLayout &text_layout();
void install_text_layout(TextLayout layout);

} // namespace clackery
