#pragma once
// What the rest of the core asks of the control dock. The dock may be destroyed by the host
// at any time (it owns the dock frame), so every call checks it first.

#include "common/records.h"

namespace clackery {

bool dock_exists();
// True when the dock's field holds text or an input-method composition.
bool dock_has_text();
// The field's frame with op "type".
TextFrame dock_current_frame();
// Pushes the core's current state into the dock's controls (no callbacks run).
void show_state_on_dock();

} // namespace clackery
