#pragma once
// Key events to the page, and the text they type for the "keys" text source. UI thread only.

#include "capture/held_keys.h"
#include "capture/mouse_events.h"
#include "core/core.h"

namespace clackery {

// Sends one key event (masked when the "mask" setting asks, or when `conceal`: typed into a
// password field) and types its character for the "keys" source (a dot when concealed).
void emit_key_event(Core &core, const KeyEvent &event, bool conceal = false);

// Sends one mouse button transition ("mouse") or wheel notch ("wheel"), counted in "sent" as the
// keys are; while keys are masked it carries no modifiers.
void emit_mouse_event(Core &core, const MouseEvent &event);

} // namespace clackery
