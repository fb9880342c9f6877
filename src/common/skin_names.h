#pragma once
// Display names of the skins that ship without a name of their own. The dock shows them when
// the skin catalogue gives no name, and the catalogue falls back to them.

#include <string>
#include <string_view>

namespace clackery {

// The built-in display name of `id`, or `id` itself when it has none.
std::string builtin_skin_name(std::string_view id);

} // namespace clackery
