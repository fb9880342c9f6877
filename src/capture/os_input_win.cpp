// Windows: the thread's own message queue and the low-level keyboard hook, which the system
// calls on the installing thread while it takes its messages (PeekMessageW), and the thread's
// windows (the witness, the session watch), whose messages the wait dispatches.

#include "capture/key_message.h"
#include "capture/mouse_input_win.h"
#include "capture/os_input.h"
#include "capture/ring.h"
#include "capture/win_watchers.h"

#include "common/win32.h"

namespace clackery {

static_assert(sizeof(LPARAM) == 8, "the capture word travels whole in lParam");

namespace {

// Never swallows or alters a key: every event goes on to the next hook.
LRESULT CALLBACK low_level_keyboard_proc(int code, WPARAM wParam, LPARAM lParam)
{
	if (code == HC_ACTION) {
		if (KeyRing *ring = hook_thread_ring()) {
			take_waiting_raw_mouse(ring->hook.os);
			const auto *info = reinterpret_cast<const KBDLLHOOKSTRUCT *>(lParam);
			// Kept for the witness, capture open or not: it tells a live hook from a lost one.
			HookControl &control = ring->hook;
			control.os.sightings[control.keys_seen & (HOOK_SIGHTINGS - 1)] =
			    HookSighting{info->vkCode, info->scanCode, info->flags};
			++control.keys_seen;
			record_captured_key(*ring, record_from_hook(info->vkCode, info->scanCode, info->flags));
		}
	}
	return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

namespace os {

bool open_message_queue(HookControl &, std::uint32_t &)
{
	MSG message;
	PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
	return true;
}

void close_message_queue(HookControl &) {}

std::uint32_t current_thread_id()
{
	return GetCurrentThreadId();
}

HHOOK set_keyboard_hook(std::uint32_t &error)
{
	HMODULE module = nullptr;
	GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
			   reinterpret_cast<LPCWSTR>(reinterpret_cast<void *>(&low_level_keyboard_proc)), &module);
	HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, low_level_keyboard_proc, module, 0);
	if (!hook)
		error = GetLastError();
	return hook;
}

bool install_capture(KeyRing &ring, std::uint32_t &error)
{
	HHOOK hook = set_keyboard_hook(error);
	if (!hook)
		return false;
	ring.hook.os.hook = hook;
	return true;
}

void remove_capture(KeyRing &ring)
{
	close_mouse_input(ring.hook.os);
	ring.hook.mouse_active.store(false, std::memory_order_release);
	if (ring.hook.os.hook) {
		UnhookWindowsHookEx(static_cast<HHOOK>(ring.hook.os.hook));
		ring.hook.os.hook = nullptr;
	}
}

bool reinstall_capture(KeyRing &ring, std::uint32_t &error)
{
	HHOOK hook = set_keyboard_hook(error);
	if (!hook)
		return false;
	// The old handle may name a hook the system has already removed; unhooking it then fails,
	// harmlessly. The mouse's raw input stays as it is.
	HHOOK old = static_cast<HHOOK>(ring.hook.os.hook);
	ring.hook.os.hook = hook;
	if (old)
		UnhookWindowsHookEx(old);
	return true;
}

void drop_capture_unnoticed(KeyRing &ring)
{
	// The handle stays, as it does when the system removes the hook.
	if (ring.hook.os.hook)
		UnhookWindowsHookEx(static_cast<HHOOK>(ring.hook.os.hook));
}

void start_watchers(KeyRing &ring)
{
	start_raw_key_witness(ring);
	start_session_watch(ring);
}

void stop_watchers(KeyRing &ring)
{
	stop_session_watch(ring);
	stop_raw_key_witness(ring);
}

void raise_thread_priority()
{
	// Within the process's class, as any process may raise its own threads: the thread does
	// little and briefly, and starved it would lose its hook.
	SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

WaitResult wait_message(HookControl &, ThreadMessage &message, std::uint32_t &error)
{
	MSG msg;
	// Sent messages, the system hook's calls among them, are handled inside PeekMessageW; posted
	// ones for a window of this thread (raw input, the witness's timer, session messages) go to
	// its procedure.
	for (;;) {
		if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
			if (msg.hwnd == nullptr)
				break;
			DispatchMessageW(&msg);
			continue;
		}
		// The keys the hook stored wake the consumer here, once the hook has returned: waking
		// is a system call, which the system's input should not wait for.
		if (KeyRing *ring = hook_thread_ring())
			before_wait(*ring);
		if (MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
		    WAIT_FAILED) {
			error = GetLastError();
			return WaitResult::failed;
		}
	}
	if (msg.message == WM_QUIT)
		return WaitResult::quit;
	message.id = msg.message;
	message.wparam = static_cast<std::uint64_t>(msg.wParam);
	message.lparam = static_cast<std::uint64_t>(msg.lParam);
	return WaitResult::message;
}

bool post_message(HookControl &, std::uint32_t thread_id, const ThreadMessage &message)
{
	return PostThreadMessageW(thread_id, message.id, static_cast<WPARAM>(message.wparam),
				  static_cast<LPARAM>(message.lparam)) != 0;
}

double clock_ms()
{
	FILETIME now;
	GetSystemTimePreciseAsFileTime(&now);
	return filetime_to_unix_ms((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

KeyState key_state(std::uint32_t vk)
{
	const bool down = (static_cast<unsigned short>(GetAsyncKeyState(static_cast<int>(vk))) & 0x8000) != 0;
	return down ? KeyState::down : KeyState::up;
}

std::uint32_t key_state_error()
{
	return 0;
}

} // namespace os
} // namespace clackery
