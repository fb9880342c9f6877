#pragma once
// Windows raw input of the mouse, on the hook thread.

#include "capture/hook_control.h"

namespace clackery {

// The records of one WM_INPUT (its lParam): buttons and wheel notches into the thread's ring.
void handle_raw_mouse(void *input_handle);

// Called by the keyboard hook before it records a key: the system posts a button's raw input
// before it calls the hook for a later key, but hands the hook's call to this thread ahead of
// the posted message. Taking what waits first keeps the one stream in the order it happened.
void take_waiting_raw_mouse(OsHookState &state);

// How many WM_INPUT of the mouse the thread has read since load, movement included (bench).
unsigned long long raw_mouse_message_count();

// Unregisters the mouse and destroys its window; nothing when it is not open.
void close_mouse_input(OsHookState &state);

} // namespace clackery
