#pragma once
// The core's state as others read it: the page's state object and the dock's options.

#include "common/records.h"
#include "core/core.h"

#include <obs.hpp>

namespace clackery {

// The complete state the page and "get_state" receive, keys in their fixed order. A new state
// key is one line here; old pages ignore keys they do not know.
OBSDataAutoRelease build_state(const Core &core);

// The overlay options as the settings hold them now.
OverlayOptions current_options(const Core &core);

} // namespace clackery
