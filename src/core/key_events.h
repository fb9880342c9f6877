#pragma once
// Key events to the page, and the text they type for the "keys" text source. UI thread only.

#include "capture/held_keys.h"
#include "core/core.h"

namespace clackery {

// Sends one key event (masked when asked) and types its character for the "keys" source.
void emit_key_event(Core &core, const KeyEvent &event);

} // namespace clackery
