#pragma once
// Key events to the page, and the text they type for the "keys" text source. UI thread only.

#include "capture/held_keys.h"
#include "core/core.h"

namespace clackery {

// Sends one key event (masked when the "mask" setting asks, or when `conceal`: typed into a
// password field) and types its character for the "keys" source (a dot when concealed).
void emit_key_event(Core &core, const KeyEvent &event, bool conceal = false);

} // namespace clackery
