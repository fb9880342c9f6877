#pragma once
// Between the held-key logic and the emission: decides for each key event whether it goes out
// concealed (typed into a password field at the moment it was captured), holds keys back for a
// moment after a key that may move the focus (Tab, then typing at once, must not race the focus
// event), and shuts everything off while the screen is locked. UI thread only.

#include "capture/held_keys.h"
#include "capture/privacy_watch.h"

#include <cstdint>
#include <deque>
#include <set>
#include <string_view>
#include <vector>

namespace clackery {

// How long named keys wait at most after a key that may move the focus. GTK's new focus reaches
// the watcher 10 to 20 ms after the key; an application's first focus change, while it builds
// its accessible objects, took 340 ms on a busy machine. A focus that moves somewhere that says
// nothing (a terminal's Tab) delays the keys after it this much.
constexpr std::uint64_t PRIVACY_HOLD_MS = 250;

struct GatedKey {
	KeyEvent event;
	bool conceal = false; // sent as the mask sends it; types a "•" at most
};

// What the tick knows of the watcher: its flags, and its focus changes copied whenever the
// serial moved.
struct PrivacyView {
	PrivacySnapshot now;
	std::vector<FocusChange> history; // oldest first
};

// Refreshes `view` from the watcher's flags (the history only when the serial moved).
void refresh_privacy_view(PrivacyView &view, const PrivacyFlags &flags);

struct PrivacyGate {
	std::set<std::string_view> concealed; // keys pressed concealed: their releases are too
	std::deque<KeyEvent> held_back;       // in order, while holding
	bool holding = false;
	double hold_since = 0;        // capture time of the key that may have moved the focus
	std::uint64_t hold_until = 0; // tick-count milliseconds
	double last_settled = 0;      // the focus change that ended the last hold
	bool locked = false;
};

// Whether a press may move the focus to another control: Tab, Enter, Escape and F6 (with or
// without modifiers, so Alt+Tab too), Alt+F4, and anything pressed with the Windows key held.
bool may_move_focus(const KeyEvent &event);

// Whether a password field had the focus at capture time `t`, by the history (the flags when
// the history does not reach back that far).
bool password_focused_at(const PrivacyView &view, double t);

// One event of the held-key logic: appended to `out` now, or held back while the focus settles.
void gate_key(PrivacyGate &gate, const KeyEvent &event, const PrivacyView &privacy, std::uint64_t now_ms,
	      std::vector<GatedKey> &out);

// At every tick: the held-back events once the focus has settled (the watcher reported a newly
// focused object after the key that held them), judged by that focus, or when the hold has run
// out, each by its own moment.
void settle_gate(PrivacyGate &gate, const PrivacyView &privacy, std::uint64_t now_ms, std::vector<GatedKey> &out);

// The screen has just locked: releases of every held key for the page, the held keys and
// everything held back forgotten. Time `t` as the sweep's.
std::vector<GatedKey> lock_gate(PrivacyGate &gate, HeldKeys &held, double t);

// The screen is visible again (or the streamer said so).
void unlock_gate(PrivacyGate &gate);

// Held keys were forgotten (pause, resume, layout change): so are their concealments and
// whatever waits.
void clear_gate(PrivacyGate &gate);

} // namespace clackery
