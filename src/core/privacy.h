#pragma once
// What the desktop's privacy says for the keys: the watcher started and ended with the module,
// and the gate through which every key event passes on its way to the page. UI thread only.

#include "capture/held_keys.h"
#include "core/core.h"

#include <cstdint>

namespace clackery {

void start_privacy_watcher(Core &core);
void stop_privacy_watcher(Core &core);

// At every tick, before the ring is drained: follows the watcher's flags (releasing held keys
// when the screen locks, letting held-back keys go once the focus has settled). True when
// what the state shows of them changed: the caller publishes it.
bool follow_privacy(Core &core, std::uint64_t now_ms);

// While the screen is locked records are dropped before they reach the held keys.
bool privacy_drops_keys(Core &core);

// One key event of the held-key logic or the sweep, on its way to emission.
void pass_key_event(Core &core, const KeyEvent &event, std::uint64_t now_ms);

// The held keys were forgotten (pause, resume, layout change).
void forget_privacy_keys(Core &core);
// The streamer resumed: a locker that never said "unlocked" is not believed any longer.
void forget_screen_lock(Core &core);

} // namespace clackery
