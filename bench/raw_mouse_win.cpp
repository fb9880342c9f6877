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

#include "win_bench.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

using bench::await_record;
using bench::now_us;
using clackery::KeyRecord;
using clackery::KeyRing;

void send_mouse(DWORD flags)
{
	INPUT input{};
	input.type = INPUT_MOUSE;
	input.mi.dwFlags = flags;
	input.mi.dx = (flags & MOUSEEVENTF_MOVE) ? 1 : 0;
	SendInput(1, &input, sizeof(input));
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

Cost measure_cost(KeyRing &ring, DWORD flags, int count, double hz)
{
	KeyRecord out;
	const double cpu = bench::hook_thread_cpu_us(ring);
	const unsigned long long before = clackery::raw_mouse_message_count();
	send_paced(flags, count, hz);
	Cost cost;
	cost.cpu_us = bench::hook_thread_cpu_us(ring) - cpu;
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
	bench::report(what, handler_samples, 44);
}

void measure_handlers()
{
	HWND window = bench::raw_input_window(L"ClackeryRawMouseBench", timing_window_proc, 2);
	if (!window) {
		std::printf("no raw input window\n");
		return;
	}
	measure_handler(MOUSEEVENTF_MOVE, 3000, 1000, "handler per movement message (1000 Hz)");
	measure_handler(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 1000, 500, "handler per button message");
	RAWINPUTDEVICE device{1, 2, RIDEV_REMOVE, nullptr};
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

	report_cost("mouse off, 1000 Hz movement", measure_cost(*ring, MOUSEEVENTF_MOVE, MOVES, 1000), MOVES);
	clackery::set_mouse_capture(*ring, true);
	Sleep(100);
	report_cost("mouse on, 1000 Hz movement", measure_cost(*ring, MOUSEEVENTF_MOVE, MOVES, 1000), MOVES);
	report_cost("mouse on, button presses and releases",
		    measure_cost(*ring, MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, CLICKS, 500), CLICKS);

	std::vector<double> samples;
	for (int round = 0; round < 2050; ++round) {
		const double start = now_us();
		send_mouse(round % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
		if (!await_record(*ring))
			break;
		if (round >= 50)
			samples.push_back(now_us() - start);
	}
	bench::report("SendInput click -> ring (raw input)", samples, 44);
	clackery::set_mouse_capture(*ring, false);
	clackery::stop_hook_thread(*ring);
	return 0;
}
