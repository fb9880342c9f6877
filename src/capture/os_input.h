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

// Blocks until a message arrives; system key captures are delivered on this thread meanwhile.
// Before each wait it raises the ring's wake for the records stored so far.
WaitResult wait_message(HookControl &control, ThreadMessage &message, std::uint32_t &error);
bool post_message(HookControl &control, std::uint32_t thread_id, const ThreadMessage &message);

double clock_ms();
KeyState key_state(std::uint32_t vk);

} // namespace os

// For the platform's capture, on the hook thread: the ring of this thread (null elsewhere), and
// the push of one system key transition while capture is active.
KeyRing *hook_thread_ring();
void record_captured_key(KeyRing &ring, KeyRecord record);

// FILETIME (100 ns units since 1601) to milliseconds since 1970 with a fraction.
inline double filetime_to_unix_ms(std::uint64_t filetime)
{
	return static_cast<double>(filetime - 116444736000000000ull) / 10000.0;
}

} // namespace clackery
