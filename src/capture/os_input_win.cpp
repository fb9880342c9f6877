// Windows: the thread's own message queue and the low-level keyboard hook, which the system
// calls on the installing thread while it takes its messages (PeekMessageW).

#include "capture/key_message.h"
#include "capture/mouse_input_win.h"
#include "capture/os_input.h"
#include "capture/ring.h"

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

bool install_capture(KeyRing &ring, std::uint32_t &error)
{
	HMODULE module = nullptr;
	GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
			   reinterpret_cast<LPCWSTR>(reinterpret_cast<void *>(&low_level_keyboard_proc)), &module);
	HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, low_level_keyboard_proc, module, 0);
	if (!hook) {
		error = GetLastError();
		return false;
	}
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

WaitResult wait_message(HookControl &, ThreadMessage &message, std::uint32_t &error)
{
	MSG msg;
	// Sent messages, the system hook's calls among them, are handled inside PeekMessageW; posted
	// ones for a window of this thread (raw input) go to its procedure.
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
			raise_ring_wake(*ring);
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

} // namespace os
} // namespace clackery
