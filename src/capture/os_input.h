#pragma once
// What the hook thread needs from the operating system, one implementation per platform:
// Windows (the thread message queue and the low-level keyboard hook) and POSIX (a queue of
// ours and a pluggable key source).

#include "capture/hook_control.h"
#include "capture/key_record.h"
#include "capture/key_state.h"
#include "capture/thread_message.h"

#include <cstdint>

namespace clackery {

struct KeyRing;

namespace os {

// On the hook thread, before its id is published, so that nothing posted to it is lost.
bool open_message_queue(HookControl &control, std::uint32_t &error);
void close_message_queue(HookControl &control);
std::uint32_t current_thread_id();

// On the hook thread: installs the system-wide key capture that feeds `ring`.
bool install_capture(KeyRing &ring, std::uint32_t &error);
void remove_capture(KeyRing &ring);
// On the hook thread, once capture is installed and at each WM_CLACKERY_MOUSE: captures mouse
// buttons and the wheel exactly while HookControl::mouse_wanted says so. Removing the capture
// removes the mouse's too.
void follow_mouse_wanted(KeyRing &ring);
// Puts the system capture back; on Windows the new hook comes first and the old one goes after,
// so that no key finds none (no hook call is handled on this thread in between).
bool reinstall_capture(KeyRing &ring, std::uint32_t &error);
// Test seam: the capture vanishes as the system removes a slow hook, without our knowing.
void drop_capture_unnoticed(KeyRing &ring);

// On the hook thread, after the capture is installed and before it is removed: what watches
// over it (Windows: the raw-input witness, the session and power window, the foreground hook).
void start_watchers(KeyRing &ring);
void stop_watchers(KeyRing &ring);

// A busy machine starves a thread of raised priority last (Windows; elsewhere nothing changes).
void raise_thread_priority();

// Blocks until a message arrives; system key captures are delivered on this thread meanwhile,
// and messages for the thread's windows are dispatched to them. Calls before_wait before each
// wait.
WaitResult wait_message(HookControl &control, ThreadMessage &message, std::uint32_t &error);
bool post_message(HookControl &control, std::uint32_t thread_id, const ThreadMessage &message);

double clock_ms();
KeyState key_state(std::uint32_t vk);
// Why the last key-state probe got no answer (Windows-style code), 0 when it got one.
std::uint32_t key_state_error();

} // namespace os

// For the platform's capture, on the hook thread: the ring of this thread (null elsewhere), and
// the push of one system key transition while capture is active.
KeyRing *hook_thread_ring();
void record_captured_key(KeyRing &ring, KeyRecord record);

// The rest of the hook thread's work, for the platform files (hook thread only):
// before each wait: publish the last key's time, then raise the ring's wake.
void before_wait(KeyRing &ring);
// A key the witness saw and the hook missed: pushed with the witness's own time when capture is open.
void record_witnessed_key(KeyRing &ring, KeyRecord record);
// The hook is gone: put it back, count and log it; `forced_error` (tests) makes the attempt fail.
void recover_lost_hook(KeyRing &ring, std::uint32_t forced_error);
// The session or the machine leaves (`away`) or comes back, for the AWAY_ bits given. While away
// nothing is captured; on return the capture is put back, since the system may have dropped it.
void change_absence(KeyRing &ring, std::uint32_t bits, bool away);
// The foreground window changed: ask the integrity probe whether its keys are hidden from us.
void check_foreground(KeyRing &ring);

// FILETIME (100 ns units since 1601) to milliseconds since 1970 with a fraction.
inline double filetime_to_unix_ms(std::uint64_t filetime)
{
	return static_cast<double>(filetime - 116444736000000000ull) / 10000.0;
}

} // namespace clackery
