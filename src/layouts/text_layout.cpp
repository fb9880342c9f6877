#include "layouts/text_layout.h"

#include <utility>

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

} // namespace clackery
