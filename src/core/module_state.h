#pragma once
// Module-wide flags that every part of the core consults before it acts. UI thread only.

#include <obs-module.h>

namespace clackery {

// True from the middle of start-up (after the settings and data are read) until the first
// step of shutdown. Every dock callback, hotkey action, state change and request returns at
// once while it is false.
bool is_running();
void set_running(bool running);

void set_module_pointer(obs_module_t *module);

} // namespace clackery
