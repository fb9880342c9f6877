#pragma once

#include <obs.hpp>

namespace clackery {

// The complete state the page and "get_state" receive, keys in their fixed order.
OBSDataAutoRelease build_state();

} // namespace clackery
