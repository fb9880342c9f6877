#pragma once
// The three frontend hotkeys: pause/resume, show/hide and the next display mode. Their
// bindings are kept in "config.json" in the host's own serialised form.

#include <obs.hpp>

namespace clackery {

// Registers the three hotkeys and restores their saved bindings from the settings.
void register_hotkeys();
void unregister_hotkeys();

// Stores each registered hotkey's binding under its settings key (a step of every save).
void store_hotkey_bindings(obs_data_t *data);

// { "pause_toggle": [...], "hide_toggle": [...], "mode_cycle": [...] } for the state.
OBSDataAutoRelease hotkeys_state_object();

// Replaces the bindings named in `request`, all or nothing; saves and publishes on success.
bool set_hotkey_bindings(obs_data_t *request);

} // namespace clackery
