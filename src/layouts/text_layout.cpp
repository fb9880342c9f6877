#include "layouts/text_layout.h"

#include <algorithm>

namespace clackery {
namespace {

TextLayout &installed()
{
	static TextLayout layout;
	return layout;
}

} // namespace

const TextLayout &text_layout()
{
	return installed();
}

void install_text_layout(TextLayout layout)
{
	installed() = std::move(layout);
}

const LayoutEntry *find_layout_entry(const TextLayout &layout, std::string_view code)
{
	const auto it =
	    std::find_if(layout.begin(), layout.end(), [&](const LayoutEntry &entry) { return entry.code == code; });
	return it == layout.end() ? nullptr : &*it;
}

} // namespace clackery
