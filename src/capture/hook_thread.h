#pragma once
// The hook thread: owns the system-wide key capture and its message queue, and is the only
// producer of KeyRing. Every function here but the key probe is called on the UI thread.

#include "capture/key_state.h"
#include "capture/ring.h"

#include <cstdint>

namespace clackery {

// Starts the thread once and waits until it has tried to install the system capture. Without
// install_os_hook (test mode) the thread runs with its queue alone. Returns whether the thread
// runs; a second call returns the first call's result until stop_hook_thread.
bool start_hook_thread(KeyRing &ring, bool install_os_hook);

// Closes the capture word, ends and joins the thread, and empties the ring. Harmless when the
// thread never started or has already ended.
void stop_hook_thread(KeyRing &ring);

// Hands a test key to the hook thread with the current capture word; true means posted, not
// pushed (the thread refuses it if the word changes first). False after stop, or when the
// scancode is above 0xFFFF or the vk above 255.
bool post_test_key(KeyRing &ring, const KeyRecord &record);

// Captures mouse buttons and wheel notches beside the keys, or stops; nothing of the mouse is
// registered with the system while off. Takes effect on the hook thread shortly after; kept
// across a restart of the thread. Movement is never captured.
void set_mouse_capture(KeyRing &ring, bool on);

// Whether the hook thread captures the mouse now (it follows set_mouse_capture shortly after).
bool mouse_capture_active(const KeyRing &ring);

// Stand-ins for system events, handled on the hook thread as the real ones are.
enum class CaptureTestEvent : std::uint32_t {
	drop_hook = 1,        // the system hook vanishes unknown to us, as Windows removes a slow one
	hook_lost = 2,        // as the watchdog finding the hook gone; arg: the error the reinstall fails with, 0 none
	away = 3,             // arg: AWAY_ bits that begin (lock, user switch, sleep)
	back = 4,             // arg: AWAY_ bits that end
	foreground = 5,       // arg: 1 the focused window outranks us, 0 it does not
	check_foreground = 6, // ask the integrity probe now, as a foreground change does
};

// False when the thread does not run or the event is unknown; true means posted.
bool post_capture_test_event(KeyRing &ring, std::uint32_t event, std::uint64_t arg);

bool hook_running(const KeyRing &ring);
std::uint32_t hook_last_error(const KeyRing &ring);

// Whether the system reports the key as held now (for keys whose release may have been lost).
// Callable from any thread.
KeyState key_state(std::uint32_t vk);

} // namespace clackery
