#pragma once
// The three frontend hotkeys: pause/resume, show/hide and the next display mode. Their
// bindings are kept in "config.json" in the host's own serialised form.

#include "core/core.h"

#include <obs.hpp>

#include <array>

namespace clackery {

// Registers the three hotkeys, with the actions they run on the UI thread in table order
// (pause, hide, mode), and restores their saved bindings from the settings.
void register_hotkeys(Core &core, const std::array<HotkeyAction, 3> &actions);
void unregister_hotkeys(Core &core);

// Stores each registered hotkey's binding under its settings key, then saves the settings:
// every save of the module goes this way.
void save_settings_and_hotkeys(Core &core);

// { "pause_toggle": [...], "hide_toggle": [...], "mode_cycle": [...] } for the state.
OBSDataAutoRelease hotkeys_state_object(const Core &core);

// Replaces the bindings named in `request`, all or nothing; saves on success. The caller
// publishes the change.
bool set_hotkey_bindings(Core &core, obs_data_t *request);

} // namespace clackery
