#pragma once
// The core's side of key capture: opening and closing the capture gate around changes.

namespace clackery {

// Closes capture (a new generation, so queued records are discarded) and forgets held keys.
void close_capture_and_forget_keys();
// Opens capture again with a new generation when not paused; stays closed while paused.
void reopen_capture();
bool capture_running();

} // namespace clackery
