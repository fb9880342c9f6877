#pragma once

#include <string_view>

namespace clackery {

// Ids of layouts, skins and shortcut sheets name files and folders: 1 to 128 bytes of ASCII
// letters, digits, '_' and '-', or bytes of non-ASCII UTF-8 characters. No separators, no
// dots, so an id can never lead out of its folder. Non-ASCII bytes must form valid UTF-8.
bool is_valid_id(std::string_view id);

} // namespace clackery
