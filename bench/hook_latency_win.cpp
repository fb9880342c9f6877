// What the hook thread costs and how fast it is, under Wine: the hook's own work per key (clock
// and push, and the sighting it keeps for the witness); the wake it raises for the UI thread once
// the hook has returned; the witness's work per key (raw input read and matched) and the thread's
// CPU per key without and with the witness; SendInput to the record in the ring through the real
// hook, quiet and beside busy threads at raised and at normal priority; post_test_key to the
// record; and the thread's CPU while the desktop is idle. Median, 99th percentile, maximum.
// Run: cmake --build <cross build> --target bench_hook_latency

#include "capture/hook_thread.h"
#include "capture/os_input.h"
#include "capture/ring.h"
#include "capture/wake_signal.h"
#include "capture/witness_match.h"

#include "common/win32.h"

#include "win_bench.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

using bench::await_record;
using bench::now_us;
using bench::report;
using clackery::KeyRecord;
using clackery::KeyRing;

constexpr int ROUNDS = 2000;

void send_a(bool down)
{
	INPUT input{};
	input.type = INPUT_KEYBOARD;
	input.ki.wVk = 'A';
	input.ki.wScan = 0x1E;
	input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
	SendInput(1, &input, sizeof(input));
}

std::vector<double> measure(KeyRing &ring, const std::function<void(int)> &send)
{
	std::vector<double> samples;
	for (int round = 0; round < ROUNDS + 50; ++round) {
		const double start = now_us();
		send(round);
		if (!await_record(ring))
			break;
		if (round >= 50) // warm-up
			samples.push_back(now_us() - start);
	}
	return samples;
}

KeyRecord key_a(bool down)
{
	KeyRecord key;
	key.scancode = 0x1E;
	key.vk = 'A';
	key.down = down;
	return key;
}

// What the hook procedure does with a key (clock and push), timed around the call; then what the
// hook thread does once the hook has returned and before it waits again: raise the consumer's
// wake (an event set) when it stored a key and none is pending, as for keys typed one at a time.
void measure_hook_cost()
{
	auto ring = std::make_unique<KeyRing>();
	clackery::WakeSignal signal;
	if (!clackery::open_wake_signal(signal)) {
		std::printf("no wake event\n");
		return;
	}
	clackery::set_ring_wake(*ring, clackery::raise_wake_signal, &signal);
	clackery::bump_generation(*ring, true);
	std::vector<double> hook;
	std::vector<double> sighted;
	std::vector<double> wake;
	KeyRecord out;
	clackery::HookControl &control = ring->hook;
	for (int round = 0; round < 10 * ROUNDS + 100; ++round) {
		const double start = now_us();
		clackery::record_captured_key(*ring, key_a(round % 2 == 0));
		const double plain = now_us();
		// What the hook procedure does now: the sighting for the witness, then the same push.
		control.os.sightings[control.keys_seen & (clackery::HOOK_SIGHTINGS - 1)] =
		    clackery::HookSighting{'A', 0x1E, round % 2 == 0 ? 0u : 0x80u};
		++control.keys_seen;
		clackery::record_captured_key(*ring, key_a(round % 2 == 0));
		const double pushed = now_us();
		clackery::raise_ring_wake(*ring);
		const double woken = now_us();
		if (round >= 100) { // warm-up
			hook.push_back(plain - start);
			sighted.push_back(pushed - plain);
			wake.push_back(woken - pushed);
		}
		clackery::clear_wake_signal(signal);
		clackery::take_ring_wake(*ring);
		while (clackery::pop_record(*ring, out)) {
		}
	}
	report("hook work per key, push alone", hook);
	report("hook work per key, with sighting", sighted);
	report("wake after the hook returned", wake);
	clackery::set_ring_wake(*ring, nullptr, nullptr);
	clackery::close_wake_signal(signal);
}

// The hook thread's CPU time per SendInput key, in microseconds; `pump` drains this thread's own
// messages (the raw input of the window that holds the registration) after each key.
double hook_thread_cpu_per_key(bool pump)
{
	constexpr int KEYS = 4000;
	auto ring = std::make_unique<KeyRing>();
	if (!clackery::start_hook_thread(*ring, true))
		return -1;
	clackery::bump_generation(*ring, true);
	const double before = bench::hook_thread_cpu_us(*ring);
	for (int key = 0; key < KEYS; ++key) {
		send_a(key % 2 == 0);
		if (!await_record(*ring))
			break;
		MSG message;
		while (pump && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
			DispatchMessageW(&message);
	}
	const double after = bench::hook_thread_cpu_us(*ring);
	clackery::stop_hook_thread(*ring);
	return (after - before) / KEYS;
}

// The witness's work for one key, as on the hook thread: the raw input read, then the matching
// against the hook's sighting of the same key. Its own raw-input window in this process, before
// the hook thread's witness exists (raw input is registered once per process).
struct WitnessBench {
	clackery::WitnessMatcher matcher;
	std::vector<double> samples;
	int seen = 0;
};
WitnessBench *witness_bench = nullptr;

LRESULT CALLBACK witness_bench_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
	if (message == WM_INPUT && witness_bench) {
		const double start = now_us();
		RAWINPUT input;
		UINT size = sizeof(input);
		if (GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &input, &size,
				    sizeof(RAWINPUTHEADER)) != static_cast<UINT>(-1) &&
		    input.header.dwType == RIM_TYPEKEYBOARD) {
			const RAWKEYBOARD &keyboard = input.data.keyboard;
			clackery::SeenKey key;
			key.scancode = keyboard.MakeCode;
			key.vk = keyboard.VKey;
			key.down = (keyboard.Flags & RI_KEY_BREAK) == 0;
			const double at = start / 1000;
			witness_bench->matcher.hook_saw(key, at);
			witness_bench->matcher.witness_saw(key, at);
			++witness_bench->seen;
			if (witness_bench->seen > 50)
				witness_bench->samples.push_back(now_us() - start);
		}
	}
	return DefWindowProcW(window, message, wParam, lParam);
}

void measure_witness_cost()
{
	HWND window = bench::raw_input_window(L"ClackeryWitnessBench", witness_bench_proc, 6);
	if (!window) {
		std::printf("witness bench: no raw input\n");
		return;
	}
	WitnessBench witness;
	witness_bench = &witness;
	for (int round = 0; round < ROUNDS + 50; ++round) {
		send_a(round % 2 == 0);
		MSG message;
		const double give_up = now_us() + 1e6;
		const int before = witness.seen;
		while (witness.seen == before && now_us() < give_up) {
			while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
				DispatchMessageW(&message);
		}
	}
	report("witness work per key (read, match)", witness.samples);
	witness_bench = nullptr;

	// The hook thread's CPU per key without its witness, which stands back while this process's
	// keyboard raw input belongs to another window, then with it.
	const double without = hook_thread_cpu_per_key(true);
	RAWINPUTDEVICE device{1, 6, RIDEV_REMOVE, nullptr};
	RegisterRawInputDevices(&device, 1, sizeof(device));
	DestroyWindow(window);
	const double with = hook_thread_cpu_per_key(false);
	std::printf("%-34s without witness %.1f us, with %.1f us (CPU time of the thread / keys)\n",
		    "hook thread CPU per key", without, with);
}

// Threads that keep every core busy, as a game loading or a compile does.
class Load {
public:
	explicit Load(unsigned threads)
	{
		for (unsigned i = 0; i < threads; ++i)
			workers_.emplace_back([this] {
				volatile std::uint64_t sink = 0;
				while (!stop_.load(std::memory_order_relaxed))
					sink = sink + 1;
			});
	}
	~Load()
	{
		stop_ = true;
		for (std::thread &worker : workers_)
			worker.join();
	}

private:
	std::atomic<bool> stop_{false};
	std::vector<std::thread> workers_;
};

void set_hook_thread_priority(KeyRing &ring, int priority)
{
	HANDLE thread = OpenThread(THREAD_SET_INFORMATION, FALSE, ring.hook.thread_id.load());
	if (thread) {
		SetThreadPriority(thread, priority);
		CloseHandle(thread);
	}
}

} // namespace

int main()
{
	measure_hook_cost();
	measure_witness_cost();
	auto ring = std::make_unique<KeyRing>();
	if (!clackery::start_hook_thread(*ring, true)) {
		std::printf("hook failed error=%lu\n", static_cast<unsigned long>(clackery::hook_last_error(*ring)));
		return 1;
	}
	clackery::bump_generation(*ring, true);
	const auto send = [](int round) { send_a(round % 2 == 0); };
	report("SendInput -> ring (system hook)", measure(*ring, send));
	report("post_test_key -> ring",
	       measure(*ring, [&ring](int round) { clackery::post_test_key(*ring, key_a(round % 2 == 0)); }));
	const unsigned busy = std::max(2u, std::thread::hardware_concurrency()) + 1;
	{
		Load load(busy);
		report("SendInput -> ring, busy, raised", measure(*ring, send));
		set_hook_thread_priority(*ring, THREAD_PRIORITY_NORMAL);
		report("SendInput -> ring, busy, normal", measure(*ring, send));
		set_hook_thread_priority(*ring, THREAD_PRIORITY_TIME_CRITICAL);
	}
	std::printf("(busy: %u spinning threads)\n", busy);
	const double before = bench::hook_thread_cpu_us(*ring) / 1000;
	Sleep(10000);
	const double after = bench::hook_thread_cpu_us(*ring) / 1000;
	std::printf("%-34s %.1f ms of CPU in 10 s idle (hook, witness and session watch on; %.1f ms before, "
		    "through the keys above)\n",
		    "hook thread idle", after - before, before);
	std::printf("reinstalls during the bench: %llu\n",
		    static_cast<unsigned long long>(ring->hook.health.reinstalls.load()));
	clackery::stop_hook_thread(*ring);
	return 0;
}
