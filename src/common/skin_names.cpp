#include "common/skin_names.h"

#include <array>
#include <utility>

namespace clackery {

std::string builtin_skin_name(std::string_view id)
{
	static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> names{{
	    {"navy_gold", "紺と淡い金"},
	    {"porcelain", "白い立体キー"},
	    {"ice_glass", "氷色に光る縁"},
	    {"default", "配置の例（四角）"},
	}};
	for (const auto &[skin, name] : names) {
		if (skin == id)
			return std::string(name);
	}
	return std::string(id);
}

} // namespace clackery
