#pragma once
// Between the held-key logic and the emission: decides for each key event whether it goes out
// concealed (typed into a password field), holds named keys back for a moment after a key that
// may move the focus (Tab, then typing at once, must not race the focus event), and shuts
// everything off while the screen is locked. UI thread only; reads the watcher's flags.

#include "capture/held_keys.h"
#include "capture/privacy_watch.h"

#include <cstdint>
#include <deque>
#include <set>
#include <string_view>
#include <vector>

namespace clackery {

// How long named keys wait at most after a key that may move the focus. The accessibility
// road reports a new focus within a few milliseconds; a focus that moves to an application
// that says nothing costs this much delay once.
constexpr std::uint64_t PRIVACY_HOLD_MS = 120;

struct GatedKey {
	KeyEvent event;
	bool conceal = false; // sent as the mask sends it; types a "•" at most
};

struct PrivacyGate {
	std::set<std::string_view> concealed; // keys pressed concealed: their releases are too
	std::deque<KeyEvent> held_back;       // in order, while holding
	bool holding = false;
	std::uint32_t hold_serial = 0; // the watcher's focus serial when the hold began
	std::uint64_t hold_until = 0;  // tick-count milliseconds
	bool locked = false;
};

// Whether a press may move the focus to another control: Tab, Enter, Escape, F6, and anything
// pressed with Alt or the Windows key held (window switching).
bool may_move_focus(const KeyEvent &event);

// One event of the held-key logic: appended to `out` now, or held back while the focus settles.
void gate_key(PrivacyGate &gate, const KeyEvent &event, const PrivacySnapshot &privacy, std::uint64_t now_ms,
	      std::vector<GatedKey> &out);

// At every tick: the held-back events once the focus has settled (the watcher judged a newly
// focused object since the hold began) or the hold has run out.
void settle_gate(PrivacyGate &gate, const PrivacySnapshot &privacy, std::uint64_t now_ms, std::vector<GatedKey> &out);

// The screen has just locked: releases of every held key for the page, the held keys and
// everything held back forgotten. Time `t` as the sweep's.
std::vector<GatedKey> lock_gate(PrivacyGate &gate, HeldKeys &held, double t);

// The screen is visible again (or the streamer said so).
void unlock_gate(PrivacyGate &gate);

// Held keys were forgotten (pause, resume, layout change): so are their concealments and
// whatever waits.
void clear_gate(PrivacyGate &gate);

} // namespace clackery
