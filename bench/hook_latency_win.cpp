// The hook's own cost per key (clock and push) and the wake the hook thread raises for the UI
// thread once the hook has returned, then the time from SendInput to the record being in the ring through the
// real low-level hook, and from post_test_key to the record: median, 99th percentile, maximum.
// Run: cmake --build <cross build> --target bench_hook_latency

#include "capture/hook_thread.h"
#include "capture/os_input.h"
#include "capture/ring.h"
#include "capture/wake_signal.h"

#include "common/win32.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using clackery::KeyRecord;
using clackery::KeyRing;

constexpr int ROUNDS = 2000;

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

void send_a(bool down)
{
	INPUT input{};
	input.type = INPUT_KEYBOARD;
	input.ki.wVk = 'A';
	input.ki.wScan = 0x1E;
	input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
	SendInput(1, &input, sizeof(input));
}

// Spins until one record is in the ring; false after a second without one.
bool await_record(KeyRing &ring)
{
	KeyRecord out;
	const double give_up = now_us() + 1e6;
	while (!clackery::pop_record(ring, out))
		if (now_us() > give_up)
			return false;
	return true;
}

void report(const char *what, std::vector<double> samples)
{
	if (samples.empty()) {
		std::printf("%-34s no samples\n", what);
		return;
	}
	std::sort(samples.begin(), samples.end());
	const double median = samples[samples.size() / 2];
	const double p99 = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
	std::printf("%-34s median %8.1f us   p99 %8.1f us   max %8.1f us   (%zu samples)\n", what, median, p99,
		    samples.back(), samples.size());
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
	std::vector<double> wake;
	KeyRecord out;
	for (int round = 0; round < 10 * ROUNDS + 100; ++round) {
		const double start = now_us();
		clackery::record_captured_key(*ring, key_a(round % 2 == 0));
		const double pushed = now_us();
		clackery::raise_ring_wake(*ring);
		const double woken = now_us();
		if (round >= 100) { // warm-up
			hook.push_back(pushed - start);
			wake.push_back(woken - pushed);
		}
		clackery::clear_wake_signal(signal);
		clackery::take_ring_wake(*ring);
		while (clackery::pop_record(*ring, out)) {
		}
	}
	report("hook procedure's work per key", hook);
	report("wake after the hook returned", wake);
	clackery::set_ring_wake(*ring, nullptr, nullptr);
	clackery::close_wake_signal(signal);
}

} // namespace

int main()
{
	measure_hook_cost();
	auto ring = std::make_unique<KeyRing>();
	if (!clackery::start_hook_thread(*ring, true)) {
		std::printf("hook failed error=%lu\n", static_cast<unsigned long>(clackery::hook_last_error(*ring)));
		return 1;
	}
	clackery::bump_generation(*ring, true);
	report("SendInput -> ring (system hook)", measure(*ring, [](int round) { send_a(round % 2 == 0); }));
	report("post_test_key -> ring",
	       measure(*ring, [&ring](int round) { clackery::post_test_key(*ring, key_a(round % 2 == 0)); }));
	clackery::stop_hook_thread(*ring);
	return 0;
}
