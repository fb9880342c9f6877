// The mouse's raw input on the hook thread under Wine: the thread's CPU time per raw mouse
// message while a 1000 Hz mouse moves (every movement is a WM_INPUT that is read no further than
// its button flags) and per button message, against the same input with the mouse switched off
// (nothing registered: the thread is never woken), and the time from SendInput of a click to its
// record in the ring: median, 99th percentile, maximum.
// Run: cmake --build <cross build> --target bench_raw_mouse

#include "capture/hook_thread.h"
#include "capture/mouse_input_win.h"
#include "capture/ring.h"

#include "common/win32.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using clackery::KeyRecord;
using clackery::KeyRing;

double now_us()
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

void send_mouse(DWORD flags)
{
	INPUT input{};
	input.type = INPUT_MOUSE;
	input.mi.dwFlags = flags;
	input.mi.dx = (flags & MOUSEEVENTF_MOVE) ? 1 : 0;
	SendInput(1, &input, sizeof(input));
}

// User and kernel time of a thread, in microseconds.
double thread_cpu_us(HANDLE thread)
{
	FILETIME created;
	FILETIME ended;
	FILETIME kernel;
	FILETIME user;
	if (!GetThreadTimes(thread, &created, &ended, &kernel, &user))
		return 0;
	const auto us = [](const FILETIME &t) {
		return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10.0;
	};
	return us(kernel) + us(user);
}

// Sends `count` messages of `flags` at `hz`, then waits until the hook thread has taken them.
void send_paced(DWORD flags, int count, double hz)
{
	const double step = 1e6 / hz;
	double next = now_us();
	for (int i = 0; i < count; ++i) {
		while (now_us() < next) {
		}
		send_mouse(flags);
		next += step;
	}
	Sleep(200);
}

struct Cost {
	double cpu_us = 0;
	unsigned long long messages = 0;
};

Cost measure_cost(KeyRing &ring, HANDLE thread, DWORD flags, int count, double hz)
{
	KeyRecord out;
	const double cpu = thread_cpu_us(thread);
	const unsigned long long before = clackery::raw_mouse_message_count();
	send_paced(flags, count, hz);
	Cost cost;
	cost.cpu_us = thread_cpu_us(thread) - cpu;
	cost.messages = clackery::raw_mouse_message_count() - before;
	while (clackery::pop_record(ring, out)) {
	}
	return cost;
}

void report_cost(const char *what, const Cost &cost, int sent)
{
	std::printf("%-44s %8.0f us CPU for %d sent, %llu WM_INPUT read", what, cost.cpu_us, sent, cost.messages);
	if (cost.messages > 0)
		std::printf(": %6.2f us per message", cost.cpu_us / static_cast<double>(cost.messages));
	std::printf("\n");
}

void report(const char *what, std::vector<double> samples)
{
	if (samples.empty()) {
		std::printf("%-44s no samples\n", what);
		return;
	}
	std::sort(samples.begin(), samples.end());
	const double p99 = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
	std::printf("%-44s median %8.1f us   p99 %8.1f us   max %8.1f us   (%zu samples)\n", what,
		    samples[samples.size() / 2], p99, samples.back(), samples.size());
}

bool await_record(KeyRing &ring)
{
	KeyRecord out;
	const double give_up = now_us() + 1e6;
	while (!clackery::pop_record(ring, out))
		if (now_us() > give_up)
			return false;
	return true;
}

// The handler itself, timed around each call on a window of this thread (the hook thread's ring
// is not this thread's, so a button's record stops short of the push, which the key bench times).
std::vector<double> handler_samples;

LRESULT CALLBACK timing_window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
	if (message == WM_INPUT) {
		const double start = now_us();
		clackery::handle_raw_mouse(reinterpret_cast<void *>(lParam));
		handler_samples.push_back(now_us() - start);
	}
	return DefWindowProcW(window, message, wParam, lParam);
}

void pump()
{
	MSG message;
	while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
		DispatchMessageW(&message);
}

void measure_handler(DWORD flags, int count, double hz, const char *what)
{
	handler_samples.clear();
	const double step = 1e6 / hz;
	double next = now_us();
	for (int i = 0; i < count; ++i) {
		while (now_us() < next)
			pump();
		send_mouse(flags);
		next += step;
	}
	const double end = now_us() + 200000;
	while (now_us() < end)
		pump();
	report(what, handler_samples);
}

void measure_handlers()
{
	WNDCLASSEXW window_class{};
	window_class.cbSize = sizeof(window_class);
	window_class.lpfnWndProc = timing_window_proc;
	window_class.hInstance = GetModuleHandleW(nullptr);
	window_class.lpszClassName = L"ClackeryRawMouseBench";
	RegisterClassExW(&window_class);
	HWND window = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
				      window_class.hInstance, nullptr);
	RAWINPUTDEVICE device{1, 2, RIDEV_INPUTSINK, window};
	if (!window || !RegisterRawInputDevices(&device, 1, sizeof(device))) {
		std::printf("no raw input window\n");
		return;
	}
	measure_handler(MOUSEEVENTF_MOVE, 3000, 1000, "handler per movement message (1000 Hz)");
	measure_handler(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 1000, 500, "handler per button message");
	device.dwFlags = RIDEV_REMOVE;
	device.hwndTarget = nullptr;
	RegisterRawInputDevices(&device, 1, sizeof(device));
	DestroyWindow(window);
}

} // namespace

int main()
{
	measure_handlers();
	constexpr int MOVES = 3000; // three seconds of a 1000 Hz mouse
	constexpr int CLICKS = 1000;
	auto ring = std::make_unique<KeyRing>();
	if (!clackery::start_hook_thread(*ring, true)) {
		std::printf("hook failed error=%lu\n", static_cast<unsigned long>(clackery::hook_last_error(*ring)));
		return 1;
	}
	clackery::bump_generation(*ring, true);
	HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, ring->hook.thread_id.load());

	report_cost("mouse off, 1000 Hz movement", measure_cost(*ring, thread, MOUSEEVENTF_MOVE, MOVES, 1000), MOVES);
	clackery::set_mouse_capture(*ring, true);
	Sleep(100);
	report_cost("mouse on, 1000 Hz movement", measure_cost(*ring, thread, MOUSEEVENTF_MOVE, MOVES, 1000), MOVES);
	report_cost("mouse on, button presses and releases",
		    measure_cost(*ring, thread, MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, CLICKS, 500), CLICKS);

	std::vector<double> samples;
	for (int round = 0; round < 2050; ++round) {
		const double start = now_us();
		send_mouse(round % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
		if (!await_record(*ring))
			break;
		if (round >= 50)
			samples.push_back(now_us() - start);
	}
	report("SendInput click -> ring (raw input)", samples);
	clackery::set_mouse_capture(*ring, false);
	CloseHandle(thread);
	clackery::stop_hook_thread(*ring);
	return 0;
}
