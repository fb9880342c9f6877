#pragma once
// Capture's health as the state object and the dock show it.

#include "common/records.h"

#include <obs.hpp>

namespace clackery {

// Capture's health now.
CaptureReport read_capture_report();

// The state object's "capture": {"status", "error", "reinstalls", "lastKeyAgeMs",
// "elevatedForeground"}. "lastKeyAgeMs" is left out before the first key: the host's data
// objects cannot hold a null.
OBSDataAutoRelease capture_state_object(const CaptureReport &report);

} // namespace clackery
