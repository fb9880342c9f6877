#pragma once
// The core's side of capture's health: the report the state object and the dock show, and what
// the tick does when it changes (a lock or a sleep releases every held key on the page; any
// other change is broadcast at once).

#include "common/records.h"
#include "core/core.h"

#include <obs.hpp>

#include <cstdint>

namespace clackery {

// Capture's health now.
CaptureReport read_capture_report();

// The state object's "capture": {"status", "error", "reinstalls", "lastKeyAgeMs",
// "elevatedForeground"}. "lastKeyAgeMs" is left out before the first key: the host's data
// objects cannot hold a null.
OBSDataAutoRelease capture_state_object(const CaptureReport &report);

// On the tick, after draining the ring; `absences` is the count loaded before the drain, so that
// every key pressed before the absence is already held when they are released.
void follow_capture(Core &core, std::uint64_t absences);

} // namespace clackery
