#pragma once
// Windows raw input of the mouse, on the hook thread.

#include "capture/hook_control.h"

namespace clackery {

// The records of one WM_INPUT (its lParam): buttons and wheel notches into the thread's ring.
void handle_raw_mouse(void *input_handle);

// Unregisters the mouse and destroys its window; nothing when it is not open.
void close_mouse_input(OsHookState &state);

} // namespace clackery
