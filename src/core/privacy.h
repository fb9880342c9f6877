#pragma once
// What the desktop's privacy says for the keys: the watcher started and ended with the module,
// and the gate through which every key event passes on its way to the page. UI thread only.

#include "capture/held_keys.h"
#include "capture/privacy_watch.h"

#include <obs.hpp>

#include <cstdint>

namespace clackery {

void start_privacy_watcher();
void stop_privacy_watcher();

// At every tick, before and after the ring is drained: follows the watcher's flags (releasing
// held keys when the screen locks, letting held-back keys go once the focus has settled) and
// publishes the state when what it shows changed.
void follow_privacy(std::uint64_t now_ms);

// While the screen is locked records are dropped before they reach the held keys.
bool privacy_drops_keys();

// One key event of the held-key logic or the sweep, on its way to emission.
void pass_key_event(const KeyEvent &event, std::uint64_t now_ms);

// The held keys were forgotten (pause, resume, layout change).
void forget_privacy_keys();
// The streamer resumed: a locker that never said "unlocked" is not believed any longer.
void forget_screen_lock();

// The state's "privacy" object: {"passwordField", "screenLocked", "detector"}.
OBSDataAutoRelease privacy_state_object();
// Keys are being concealed because a password field has the focus.
bool masking_password_field();
// No watcher tells this desktop's password fields.
bool password_fields_unwatched();

} // namespace clackery
