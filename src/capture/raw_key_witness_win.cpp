// The hook's witness: keyboard raw input on a message-only window of the hook thread. The system
// delivers raw input apart from the hook chain and never drops it for slowness, so a key it
// reports that the hook did not, while the hook reported nothing since, shows the hook is gone.
// The hook stays the source of every key while it works; the witness fills only the gap.

#include "capture/capture_log.h"
#include "capture/key_message.h"
#include "capture/os_input.h"
#include "capture/ring.h"
#include "capture/win_watchers.h"
#include "capture/witness_match.h"

#include "common/win32.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace clackery {
namespace {

constexpr wchar_t WITNESS_CLASS[] = L"ClackeryKeyWitness";
constexpr UINT_PTR WITNESS_TIMER = 1;
constexpr USHORT GENERIC_DESKTOP = 1;
constexpr USHORT KEYBOARD_USAGE = 6;

struct RawKeyWitness {
	KeyRing *ring = nullptr;
	HWND window = nullptr;
	WitnessMatcher matcher;
	std::uint64_t synced = 0; // keys_seen up to which the hook's sightings are in the matcher
	bool timer = false;       // a timer runs only while a witness key waits for its match
};

// Hook thread only: the witness's window procedure runs there.
thread_local RawKeyWitness *witness = nullptr;

double steady_ms()
{
	return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

SeenKey seen_from_hook(const HookSighting &sighting)
{
	const KeyRecord record = record_from_hook(sighting.vk, sighting.scancode, sighting.flags);
	return SeenKey{record.scancode, record.vk, record.extended, record.down, record.injected, 0};
}

// Raw input names Shift, Ctrl and Alt without their side, and Pause by its E1 sequence; the hook
// names them as the records do.
SeenKey seen_from_raw(const RAWKEYBOARD &keyboard, HANDLE device)
{
	SeenKey key;
	key.scancode = keyboard.MakeCode;
	key.vk = keyboard.VKey;
	key.extended = (keyboard.Flags & RI_KEY_E0) != 0;
	key.down = (keyboard.Flags & RI_KEY_BREAK) == 0;
	key.injected = device == nullptr;
	key.t = os::clock_ms();
	switch (keyboard.VKey) {
	case VK_SHIFT:
		key.vk = keyboard.MakeCode == 0x36 ? VK_RSHIFT : VK_LSHIFT;
		break;
	case VK_CONTROL:
		key.vk = key.extended ? VK_RCONTROL : VK_LCONTROL;
		break;
	case VK_MENU:
		key.vk = key.extended ? VK_RMENU : VK_LMENU;
		break;
	case VK_PAUSE:
		key.scancode = 0x45;
		key.extended = false;
		break;
	default:
		break;
	}
	return key;
}

KeyRecord record_from_seen(const SeenKey &key)
{
	KeyRecord record;
	record.scancode = key.scancode;
	record.vk = key.vk;
	record.extended = key.extended;
	record.down = key.down;
	record.injected = key.injected;
	record.t = key.t;
	return record;
}

// Brings the hook's sightings since the last call into the matcher.
void sync_hook(RawKeyWitness &w, double now)
{
	HookControl &control = w.ring->hook;
	const std::uint64_t seen = control.keys_seen;
	if (seen - w.synced > HOOK_SIGHTINGS) {
		// The hook ran far ahead of its witness: it lives, and whatever waited was matched.
		w.matcher.forget();
		w.synced = seen;
		return;
	}
	for (; w.synced < seen; ++w.synced)
		w.matcher.hook_saw(seen_from_hook(control.os.sightings[w.synced & (HOOK_SIGHTINGS - 1)]), now);
}

void arm_timer(RawKeyWitness &w, double now)
{
	const std::optional<double> deadline = w.matcher.deadline();
	if (!deadline) {
		if (w.timer)
			KillTimer(w.window, WITNESS_TIMER);
		w.timer = false;
		return;
	}
	const double delay = std::max(static_cast<double>(USER_TIMER_MINIMUM), std::ceil(*deadline - now) + 1);
	w.timer = SetTimer(w.window, WITNESS_TIMER, static_cast<UINT>(delay), nullptr) != 0;
}

// Keys typed while the session is away, or into a window that outranks us, are not ours to see:
// neither source should report them, and none is delivered if one does.
bool watching(const RawKeyWitness &w)
{
	const CaptureHealthState &health = w.ring->hook.health;
	return health.away.load(std::memory_order_relaxed) == 0 &&
	       !health.elevated_foreground.load(std::memory_order_relaxed);
}

void witness_key(RawKeyWitness &w, HRAWINPUT handle)
{
	RAWINPUT input;
	UINT size = sizeof(input);
	if (GetRawInputData(handle, RID_INPUT, &input, &size, sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1) ||
	    input.header.dwType != RIM_TYPEKEYBOARD)
		return;
	const RAWKEYBOARD &keyboard = input.data.keyboard;
	// 0xFF marks the fake halves of escaped sequences, which the hook never reports.
	if (keyboard.VKey == 0 || keyboard.VKey == 0xFF || keyboard.MakeCode == KEYBOARD_OVERRUN_MAKE_CODE)
		return;
	const double now = steady_ms();
	sync_hook(w, now);
	if (!watching(w)) {
		w.matcher.forget();
		arm_timer(w, now);
		return;
	}
	w.matcher.witness_saw(seen_from_raw(keyboard, input.header.hDevice), now);
	arm_timer(w, now);
}

void witness_timer(RawKeyWitness &w)
{
	const double now = steady_ms();
	sync_hook(w, now);
	switch (w.matcher.verdict(now)) {
	case WitnessVerdict::waiting:
		break;
	case WitnessVerdict::skipped:
		// The hook lives: it passed these keys by (one slow call), which the sweep mends.
		w.matcher.forget();
		break;
	case WitnessVerdict::hook_gone: {
		const std::vector<SeenKey> gap = w.matcher.take_unmatched();
		recover_lost_hook(*w.ring, 0);
		// Whatever the old hook saw is matched or past; the new one starts here.
		w.synced = w.ring->hook.keys_seen;
		// Before any key of the new hook, since none is handled on this thread until we return.
		for (const SeenKey &key : gap)
			record_witnessed_key(*w.ring, record_from_seen(key));
		break;
	}
	}
	arm_timer(w, now);
}

LRESULT CALLBACK witness_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
	RawKeyWitness *w = witness;
	if (w && window == w->window) {
		if (message == WM_INPUT)
			witness_key(*w, reinterpret_cast<HRAWINPUT>(lParam));
		else if (message == WM_TIMER && wParam == WITNESS_TIMER) {
			witness_timer(*w);
			return 0;
		}
	}
	return DefWindowProcW(window, message, wParam, lParam);
}

// Raw input is registered per process and usage: a keyboard registration of another part of
// the host would be taken over by ours, so the witness stands back then.
bool keyboard_taken(HWND ours)
{
	UINT count = 0;
	if (GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE)) != 0 || count == 0)
		return false;
	std::vector<RAWINPUTDEVICE> devices(count);
	if (GetRegisteredRawInputDevices(devices.data(), &count, sizeof(RAWINPUTDEVICE)) == static_cast<UINT>(-1))
		return false;
	return std::any_of(devices.begin(), devices.begin() + count, [ours](const RAWINPUTDEVICE &device) {
		return device.usUsagePage == GENERIC_DESKTOP && device.usUsage == KEYBOARD_USAGE &&
		       device.hwndTarget != ours;
	});
}

HMODULE this_module()
{
	HMODULE module = nullptr;
	GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
			   reinterpret_cast<LPCWSTR>(reinterpret_cast<void *>(&witness_proc)), &module);
	return module;
}

} // namespace

void start_raw_key_witness(KeyRing &ring)
{
	HMODULE module = this_module();
	WNDCLASSEXW window_class{};
	window_class.cbSize = sizeof(window_class);
	window_class.lpfnWndProc = witness_proc;
	window_class.hInstance = module;
	window_class.lpszClassName = WITNESS_CLASS;
	// Already registered by an earlier start in this process: that is fine.
	if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
		capture_warning("hook watchdog unavailable: window class error=%lu", GetLastError());
		return;
	}
	auto *w = new RawKeyWitness;
	w->ring = &ring;
	w->synced = ring.hook.keys_seen;
	w->window = CreateWindowExW(0, WITNESS_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
	if (!w->window) {
		capture_warning("hook watchdog unavailable: window error=%lu", GetLastError());
		delete w;
		return;
	}
	if (keyboard_taken(w->window)) {
		capture_warning("hook watchdog unavailable: keyboard raw input is used by another part of OBS");
		DestroyWindow(w->window);
		delete w;
		return;
	}
	const RAWINPUTDEVICE device{GENERIC_DESKTOP, KEYBOARD_USAGE, RIDEV_INPUTSINK, w->window};
	if (!RegisterRawInputDevices(&device, 1, sizeof(device))) {
		capture_warning("hook watchdog unavailable: raw input error=%lu", GetLastError());
		DestroyWindow(w->window);
		delete w;
		return;
	}
	witness = w;
	ring.hook.os.witness_window.store(w->window, std::memory_order_release);
}

void stop_raw_key_witness(KeyRing &ring)
{
	RawKeyWitness *w = witness;
	if (!w)
		return;
	ring.hook.os.witness_window.store(nullptr, std::memory_order_release);
	const RAWINPUTDEVICE device{GENERIC_DESKTOP, KEYBOARD_USAGE, RIDEV_REMOVE, nullptr};
	RegisterRawInputDevices(&device, 1, sizeof(device));
	if (w->timer)
		KillTimer(w->window, WITNESS_TIMER);
	DestroyWindow(w->window);
	witness = nullptr;
	delete w;
}

} // namespace clackery
