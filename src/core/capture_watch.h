#pragma once
// What the tick does when capture's health changes: a lock or a sleep releases every held key on
// the page; any other change is broadcast at once.

#include "core/core.h"

#include <cstdint>

namespace clackery {

// On the tick, after draining the ring; `absences` is the count loaded before the drain, so that
// every key pressed before the absence is already held when they are released.
void follow_capture(Core &core, std::uint64_t absences);

} // namespace clackery
