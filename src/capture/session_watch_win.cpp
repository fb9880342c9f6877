// The session and the machine, watched from a message-only window of the hook thread: a lock, a
// user switch or a suspend closes capture until the session is back (no key typed meanwhile is
// ours, and the page must not keep a stuck Ctrl after Win+L). The foreground hook, on the same
// thread and outside the key hook's path, tells when the focused window outranks us.

#include "capture/capture_log.h"
#include "capture/os_input.h"
#include "capture/ring.h"
#include "capture/win_watchers.h"

#include "common/win32.h"

#include <wtsapi32.h>

namespace clackery {
namespace {

constexpr wchar_t SESSION_CLASS[] = L"ClackerySessionWatch";

using RegisterSuspendResumeFn = HANDLE(WINAPI *)(HANDLE recipient, DWORD flags);
using UnregisterSuspendResumeFn = BOOL(WINAPI *)(HANDLE registration);

struct SessionWatch {
	KeyRing *ring = nullptr;
	HWND window = nullptr;
	HWINEVENTHOOK foreground = nullptr;
	HANDLE power = nullptr; // suspend and resume reach a message-only window only when asked for
	bool session_registered = false;
};

// Hook thread only: its window procedure and event hook run there.
thread_local SessionWatch *session = nullptr;

void session_changed(KeyRing &ring, WPARAM change)
{
	switch (change) {
	case WTS_SESSION_LOCK:
		change_absence(ring, AWAY_LOCKED, true);
		break;
	case WTS_SESSION_UNLOCK:
		change_absence(ring, AWAY_LOCKED, false);
		break;
	case WTS_CONSOLE_DISCONNECT:
	case WTS_REMOTE_DISCONNECT:
		change_absence(ring, AWAY_DISCONNECTED, true);
		break;
	case WTS_CONSOLE_CONNECT:
	case WTS_REMOTE_CONNECT:
		change_absence(ring, AWAY_DISCONNECTED, false);
		break;
	default:
		break;
	}
}

void power_changed(KeyRing &ring, WPARAM change)
{
	if (change == PBT_APMSUSPEND)
		change_absence(ring, AWAY_SUSPENDED, true);
	else if (change == PBT_APMRESUMEAUTOMATIC || change == PBT_APMRESUMESUSPEND)
		change_absence(ring, AWAY_SUSPENDED, false);
}

LRESULT CALLBACK session_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
	SessionWatch *watch = session;
	if (watch && window == watch->window) {
		if (message == WM_WTSSESSION_CHANGE) {
			session_changed(*watch->ring, wParam);
			return 0;
		}
		if (message == WM_POWERBROADCAST) {
			power_changed(*watch->ring, wParam);
			return TRUE;
		}
	}
	return DefWindowProcW(window, message, wParam, lParam);
}

void CALLBACK foreground_changed(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD)
{
	if (SessionWatch *watch = session)
		check_foreground(*watch->ring);
}

FARPROC user32_function(const char *name)
{
	HMODULE user32 = GetModuleHandleW(L"user32.dll");
	return user32 ? GetProcAddress(user32, name) : nullptr;
}

HMODULE this_module()
{
	HMODULE module = nullptr;
	GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
			   reinterpret_cast<LPCWSTR>(reinterpret_cast<void *>(&session_proc)), &module);
	return module;
}

} // namespace

void start_session_watch(KeyRing &ring)
{
	HMODULE module = this_module();
	WNDCLASSEXW window_class{};
	window_class.cbSize = sizeof(window_class);
	window_class.lpfnWndProc = session_proc;
	window_class.hInstance = module;
	window_class.lpszClassName = SESSION_CLASS;
	if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
		capture_warning("session watch unavailable: window class error=%lu", GetLastError());
		return;
	}
	auto *watch = new SessionWatch;
	watch->ring = &ring;
	watch->window = CreateWindowExW(0, SESSION_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
	if (!watch->window) {
		capture_warning("session watch unavailable: window error=%lu", GetLastError());
		delete watch;
		return;
	}
	session = watch;
	watch->session_registered = WTSRegisterSessionNotification(watch->window, NOTIFY_FOR_THIS_SESSION) != 0;
	if (!watch->session_registered)
		capture_warning("lock and user switch not watched: error=%lu", GetLastError());
	// Windows 8 and later; earlier systems broadcast to top-level windows only.
	if (auto subscribe = reinterpret_cast<RegisterSuspendResumeFn>(
		reinterpret_cast<void *>(user32_function("RegisterSuspendResumeNotification"))))
		watch->power = subscribe(watch->window, DEVICE_NOTIFY_WINDOW_HANDLE);
	watch->foreground = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
					    foreground_changed, 0, 0, WINEVENT_OUTOFCONTEXT);
	ring.hook.os.session_window.store(watch->window, std::memory_order_release);
}

void stop_session_watch(KeyRing &ring)
{
	SessionWatch *watch = session;
	if (!watch)
		return;
	ring.hook.os.session_window.store(nullptr, std::memory_order_release);
	if (watch->foreground)
		UnhookWinEvent(watch->foreground);
	if (watch->power) {
		if (auto unsubscribe = reinterpret_cast<UnregisterSuspendResumeFn>(
			reinterpret_cast<void *>(user32_function("UnregisterSuspendResumeNotification"))))
			unsubscribe(watch->power);
	}
	if (watch->session_registered)
		WTSUnRegisterSessionNotification(watch->window);
	DestroyWindow(watch->window);
	session = nullptr;
	delete watch;
}

} // namespace clackery
