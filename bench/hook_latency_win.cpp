// Time from SendInput to the record being in the ring through the real low-level hook, and from
// post_test_key to the record, as median and 99th percentile.
// Run: cmake --build <cross build> --target bench_hook_latency

#include "capture/hook_thread.h"
#include "capture/ring.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

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

} // namespace

int main()
{
	auto ring = std::make_unique<KeyRing>();
	if (!clackery::start_hook_thread(*ring, true)) {
		std::printf("hook failed error=%lu\n", static_cast<unsigned long>(clackery::hook_last_error(*ring)));
		return 1;
	}
	clackery::bump_generation(*ring, true);
	report("SendInput -> ring (system hook)", measure(*ring, [](int round) { send_a(round % 2 == 0); }));
	report("post_test_key -> ring", measure(*ring, [&ring](int round) {
		       KeyRecord key;
		       key.scancode = 0x1E;
		       key.vk = 'A';
		       key.down = round % 2 == 0;
		       clackery::post_test_key(*ring, key);
	       }));
	clackery::stop_hook_thread(*ring);
	return 0;
}
