#pragma once
// The core's state: one record, created at load and destroyed at shutdown, handed to every
// function that reads or changes it. UI thread only. The key ring, the vendor record with its
// gate and the sound pack table stay statics of their own subsystems.

#include "capture/held_keys.h"
#include "capture/mouse_events.h"
#include "capture/privacy_gate.h"
#include "capture/privacy_watch.h"
#include "capture/wake_signal.h"
#include "core/keys_text.h"
#include "core/settings.h"
#include "dock/control_dock.h"

#include <obs.h>

#include <QDockWidget>
#include <QPointer>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>

namespace clackery {

// The small runtime state beside the settings.
struct RuntimeState {
	bool paused = true;
	bool hidden = true;
	// Hidden only because nobody has resumed since load; the first resume shows the overlay.
	bool auto_hidden = true;
	std::uint64_t rev = 1;
};

// Delivery counters of the UI thread, counted from load and never reset.
struct DeliveryCounters {
	std::uint64_t sent = 0;        // key, mouse button and wheel events delivered
	std::uint64_t unknown = 0;     // key records without a code name
	std::uint64_t repeated = 0;    // presses of a key already held
	std::uint64_t text_sent = 0;   // text frames delivered
	std::uint64_t text_paused = 0; // text frames dropped while paused
};

// The desktop's privacy as the tick follows it: the watcher, the gate every key passes, and
// what the state last said.
struct CorePrivacy {
	std::unique_ptr<PrivacyWatch> watch;
	PrivacyGate gate;
	PrivacyView view;      // the watcher's word as of the last refresh
	PrivacySnapshot shown; // as last published
};

// What the tick last saw of capture's health: a change is broadcast at once, and each new
// absence of the session releases the held keys.
struct CaptureWatch {
	bool primed = false; // the first tick only takes note: the load has just published
	std::uint64_t absences = 0;
	bool away = false;
	bool failed = false;
	std::uint32_t error = 0;
	std::uint64_t reinstalls = 0;
	bool elevated = false;
};

struct Core;
using HotkeyAction = void (*)(Core &);

struct Core {
	// True from the middle of start-up (after the settings and data are read) until the first
	// step of shutdown. Every dock callback, hotkey action, state change and request returns at
	// once while it is false.
	bool running = false;
	Settings settings;
	RuntimeState runtime;
	DeliveryCounters totals;

	// Keys held and text typed through the keys, as the tick has seen them.
	HeldKeys held_keys;
	// Mouse buttons held, as the events sent so far say; forgotten with the held keys.
	HeldButtons held_buttons{};
	KeysText keys_text;
	CorePrivacy privacy;
	// The dock's field held text at its last change: its emptying must reach the page.
	bool dock_text_active = false;

	// Qt or the frontend may destroy the dock (and on OBS 29 its frame and menu entry) at any
	// time: they are only ever reached through these guarded pointers.
	QPointer<TextDock> dock;
	QPointer<QDockWidget> dock_frame;
	QPointer<QObject> dock_menu_action;

	QPointer<QTimer> tick_timer;
	std::uint64_t next_sweep = 0;   // tick clock, milliseconds
	std::uint64_t next_publish = 0; // tick clock, milliseconds
	CaptureWatch capture_watch;

	// The hook raises it when it stores a key; the watcher drains the ring on the UI thread.
	WakeSignal wake_signal;
	QPointer<QObject> wake_watcher;

	std::array<obs_hotkey_id, 3> hotkey_ids{OBS_INVALID_HOTKEY_ID, OBS_INVALID_HOTKEY_ID, OBS_INVALID_HOTKEY_ID};
	std::array<HotkeyAction, 3> hotkey_actions{};

	bool event_callback_registered = false;
	bool test_without_os_hook = false;
};

} // namespace clackery
