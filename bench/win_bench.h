#pragma once
// What the Windows benches share: the clock, waiting for the hook thread's next record, the
// thread's CPU time, a message-only window for raw input, and one line per set of samples.

#include "capture/ring.h"

#include "common/win32.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace bench {

inline double now_us()
{
	static const double frequency = [] {
		LARGE_INTEGER f;
		QueryPerformanceFrequency(&f);
		return static_cast<double>(f.QuadPart);
	}();
	LARGE_INTEGER c;
	QueryPerformanceCounter(&c);
	return static_cast<double>(c.QuadPart) * 1e6 / frequency;
}

// Spins until one record is in the ring; false after a second without one.
inline bool await_record(clackery::KeyRing &ring)
{
	clackery::KeyRecord out;
	const double give_up = now_us() + 1e6;
	while (!clackery::pop_record(ring, out))
		if (now_us() > give_up)
			return false;
	return true;
}

// User and kernel time of the ring's hook thread in microseconds; -1 when it cannot be read.
// Windows counts thread times in scheduler ticks (10 ms under Wine), so only long runs tell.
inline double hook_thread_cpu_us(clackery::KeyRing &ring)
{
	HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, ring.hook.thread_id.load());
	if (!thread)
		return -1;
	FILETIME created;
	FILETIME ended;
	FILETIME kernel;
	FILETIME user;
	const BOOL ok = GetThreadTimes(thread, &created, &ended, &kernel, &user);
	CloseHandle(thread);
	if (!ok)
		return -1;
	const auto us = [](const FILETIME &t) {
		return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
		       10.0;
	};
	return us(kernel) + us(user);
}

// A message-only window of this thread that receives the raw input of one device type
// (usage page 1: usage 2 the mouse, 6 the keyboard); null when Windows refuses either.
inline HWND raw_input_window(const wchar_t *className, WNDPROC proc, USHORT usage)
{
	WNDCLASSW window_class{};
	window_class.lpfnWndProc = proc;
	window_class.hInstance = GetModuleHandleW(nullptr);
	window_class.lpszClassName = className;
	RegisterClassW(&window_class);
	HWND window =
	    CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
	RAWINPUTDEVICE device{1, usage, RIDEV_INPUTSINK, window};
	if (window && !RegisterRawInputDevices(&device, 1, sizeof(device))) {
		DestroyWindow(window);
		return nullptr;
	}
	return window;
}

inline void report(const char *what, std::vector<double> samples, int width = 34)
{
	if (samples.empty()) {
		std::printf("%-*s no samples\n", width, what);
		return;
	}
	std::sort(samples.begin(), samples.end());
	const double p99 = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
	std::printf("%-*s median %8.1f us   p99 %8.1f us   max %8.1f us   (%zu samples)\n", width, what,
		    samples[samples.size() / 2], p99, samples.back(), samples.size());
}

} // namespace bench
