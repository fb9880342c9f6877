// Windows: mouse buttons and the wheel through raw input (usage page 1, usage 2, with
// RIDEV_INPUTSINK) on a message-only window of the hook thread. A low-level mouse hook would sit
// in the path of every pointer movement of the desktop, so any delay of ours would make the
// pointer lag; raw input is posted to us and never holds the pointer back. It brings every
// movement too: those messages are read as far as their button flags and go no further.

#include "capture/mouse_input_win.h"
#include "capture/capture_log.h"
#include "capture/mouse_records.h"
#include "capture/os_input.h"
#include "capture/ring.h"

#include "common/win32.h"

#include <atomic>

namespace clackery {
namespace {

constexpr wchar_t WINDOW_CLASS[] = L"ClackeryMouseInput";
constexpr USHORT USAGE_PAGE_GENERIC = 0x01;
constexpr USHORT USAGE_MOUSE = 0x02;

WheelRemainder wheel_remainder; // hook thread only
std::atomic<unsigned long long> raw_messages{0};

HINSTANCE this_module()
{
	HMODULE module = nullptr;
	GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
			   reinterpret_cast<LPCWSTR>(&wheel_remainder), &module);
	return module;
}

LRESULT CALLBACK mouse_window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
	if (message == WM_INPUT)
		handle_raw_mouse(reinterpret_cast<void *>(lParam));
	// For WM_INPUT too: the system frees the input's data there.
	return DefWindowProcW(window, message, wParam, lParam);
}

bool register_class(HINSTANCE module)
{
	WNDCLASSEXW window_class{};
	window_class.cbSize = sizeof(window_class);
	window_class.lpfnWndProc = mouse_window_proc;
	window_class.hInstance = module;
	window_class.lpszClassName = WINDOW_CLASS;
	return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Raw input has one target per process and device type: another part of the process that reads
// the mouse keeps it.
HWND other_mouse_reader(HWND ours)
{
	UINT count = 0;
	if (GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE)) != 0 || count == 0)
		return nullptr;
	RAWINPUTDEVICE devices[16];
	if (count > 16)
		count = 16;
	const UINT got = GetRegisteredRawInputDevices(devices, &count, sizeof(RAWINPUTDEVICE));
	if (got == static_cast<UINT>(-1))
		return nullptr;
	for (UINT i = 0; i < got; ++i) {
		if (devices[i].usUsagePage == USAGE_PAGE_GENERIC && devices[i].usUsage == USAGE_MOUSE &&
		    devices[i].hwndTarget != ours)
			return devices[i].hwndTarget ? devices[i].hwndTarget : reinterpret_cast<HWND>(1);
	}
	return nullptr;
}

void open_mouse_input(OsHookState &state)
{
	const HINSTANCE module = this_module();
	if (!register_class(module)) {
		capture_warning("mouse capture unavailable: no window class (error %lu)", GetLastError());
		return;
	}
	if (other_mouse_reader(nullptr)) {
		capture_warning("mouse capture unavailable: another part of this program reads the mouse's raw input");
		return;
	}
	HWND window = CreateWindowExW(0, WINDOW_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
	if (!window) {
		capture_warning("mouse capture unavailable: no message window (error %lu)", GetLastError());
		return;
	}
	const RAWINPUTDEVICE device{USAGE_PAGE_GENERIC, USAGE_MOUSE, RIDEV_INPUTSINK, window};
	if (!RegisterRawInputDevices(&device, 1, sizeof(device))) {
		capture_warning("mouse capture unavailable: raw input refused (error %lu)", GetLastError());
		DestroyWindow(window);
		return;
	}
	wheel_remainder = WheelRemainder{};
	state.mouse_window = window;
}

} // namespace

unsigned long long raw_mouse_message_count()
{
	return raw_messages.load(std::memory_order_relaxed);
}

void handle_raw_mouse(void *input_handle)
{
	raw_messages.fetch_add(1, std::memory_order_relaxed);
	RAWINPUT input;
	UINT size = sizeof(input);
	if (GetRawInputData(static_cast<HRAWINPUT>(input_handle), RID_INPUT, &input, &size, sizeof(RAWINPUTHEADER)) ==
		static_cast<UINT>(-1) ||
	    input.header.dwType != RIM_TYPEMOUSE)
		return;
	const USHORT flags = input.data.mouse.usButtonFlags;
	// Movement: the bulk of what arrives, and nothing of ours.
	if (flags == 0)
		return;
	KeyRing *ring = hook_thread_ring();
	if (!ring)
		return;
	const RawMouseRecords made =
	    records_from_raw_mouse(flags, static_cast<std::int16_t>(input.data.mouse.usButtonData), wheel_remainder);
	for (std::size_t i = 0; i < made.count; ++i) {
		KeyRecord record = made.records[i];
		// Input that no device sent (SendInput) comes without one.
		record.injected = input.header.hDevice == nullptr;
		record_captured_key(*ring, record);
	}
}

void take_waiting_raw_mouse(OsHookState &state)
{
	if (!state.mouse_window)
		return;
	MSG message;
	while (PeekMessageW(&message, static_cast<HWND>(state.mouse_window), WM_INPUT, WM_INPUT, PM_REMOVE))
		DispatchMessageW(&message);
}

void close_mouse_input(OsHookState &state)
{
	if (!state.mouse_window)
		return;
	// Nothing of the mouse stays registered while the option is off.
	const RAWINPUTDEVICE device{USAGE_PAGE_GENERIC, USAGE_MOUSE, RIDEV_REMOVE, nullptr};
	RegisterRawInputDevices(&device, 1, sizeof(device));
	DestroyWindow(static_cast<HWND>(state.mouse_window));
	state.mouse_window = nullptr;
}

namespace os {

void follow_mouse_wanted(KeyRing &ring)
{
	OsHookState &state = ring.hook.os;
	const bool wanted = ring.hook.mouse_wanted.load(std::memory_order_acquire);
	if (wanted && !state.mouse_window)
		open_mouse_input(state);
	else if (!wanted)
		close_mouse_input(state);
	ring.hook.mouse_active.store(state.mouse_window != nullptr, std::memory_order_release);
}

} // namespace os
} // namespace clackery
