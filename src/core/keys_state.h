#pragma once
// Keys held and text typed through the keys, as the tick has seen them. UI thread only.

#include "capture/held_keys.h"
#include "common/records.h"

namespace clackery {

HeldKeys &held_keys();

// The keys text as a frame on its own (op "type", nothing committed).
TextFrame keys_text_frame(bool mask);
void clear_keys_text();

// Sends one key event (masked when the "mask" setting asks, or when `conceal`: typed into a
// password field) and types its character for the "keys" source (a dot when concealed).
void emit_key_event(const KeyEvent &event, bool conceal = false);

} // namespace clackery
