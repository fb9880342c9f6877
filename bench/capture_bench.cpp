// Cost of the capture path per record: the ring on one thread and across two, and key naming.
// Run: build/bench/capture_bench

#include "capture/key_names.h"
#include "capture/os_input.h"
#include "capture/ring.h"
#include "capture/wake_signal.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace clackery {
namespace {

KeyRecord sample(std::uint32_t n)
{
	KeyRecord record;
	record.scancode = n & 0xFF;
	record.vk = (n >> 8) & 0xFF;
	record.down = (n & 1) != 0;
	record.t = 1.7e12 + n;
	return record;
}

void ring_push_pop(benchmark::State &state)
{
	auto ring = std::make_unique<KeyRing>();
	const std::uint64_t word = bump_generation(*ring, true);
	KeyRecord out;
	std::uint32_t n = 0;
	for (auto _ : state) {
		push_record(*ring, sample(n++), word);
		benchmark::DoNotOptimize(pop_record(*ring, out));
		benchmark::DoNotOptimize(out);
	}
	state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ring_push_pop);

// The capture thread's own cost per key as the X11 source pays it: clock, push and the wake it
// raises for the UI thread before it waits again. Every key wakes, as when keys come one at a time.
void hook_cost_waking(benchmark::State &state)
{
	auto ring = std::make_unique<KeyRing>();
	WakeSignal signal;
	if (!open_wake_signal(signal)) {
		state.SkipWithError("no eventfd");
		return;
	}
	set_ring_wake(*ring, raise_wake_signal, &signal);
	bump_generation(*ring, true);
	KeyRecord out;
	std::uint32_t n = 0;
	for (auto _ : state) {
		// Timed by hand: pausing the benchmark's own timer costs more than the call.
		const auto start = std::chrono::steady_clock::now();
		record_captured_key(*ring, sample(n++));
		raise_ring_wake(*ring);
		const auto end = std::chrono::steady_clock::now();
		state.SetIterationTime(std::chrono::duration<double>(end - start).count());
		clear_wake_signal(signal);
		take_ring_wake(*ring);
		pop_record(*ring, out);
	}
	state.SetItemsProcessed(state.iterations());
	set_ring_wake(*ring, nullptr, nullptr);
	close_wake_signal(signal);
}
BENCHMARK(hook_cost_waking)->UseManualTime();

// One hook thread producing and the UI thread consuming, as in the module.
void ring_across_threads(benchmark::State &state)
{
	constexpr std::uint32_t batch = 1u << 20;
	auto ring = std::make_unique<KeyRing>();
	const std::uint64_t word = bump_generation(*ring, true);
	KeyRecord out;
	for (auto _ : state) {
		std::thread producer([&] {
			for (std::uint32_t n = 0; n < batch; ++n) {
				while (ring->write_index.load(std::memory_order_relaxed) -
					   ring->read_index.load(std::memory_order_acquire) >=
				       RING_CAPACITY)
					std::this_thread::yield();
				push_record(*ring, sample(n), word);
			}
		});
		for (std::uint32_t received = 0; received < batch;)
			if (pop_record(*ring, out))
				++received;
		producer.join();
	}
	state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(ring_across_threads)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<KeyRecord> typing_mix()
{
	std::vector<KeyRecord> records;
	for (const ScanName &row : SCANCODE_NAMES) {
		KeyRecord record;
		record.extended = row.scan_key >= 0xE000;
		record.scancode = row.scan_key & 0xFF;
		record.vk = 0x41;
		records.push_back(record);
	}
	records.push_back(KeyRecord{0x45, 0x90, false, true, false, 0, 0, false});
	records.push_back(KeyRecord{0, 0xA1, false, true, false, 0, 0, false});
	records.push_back(KeyRecord{0x54, 0x2C, false, true, false, 0, 0, false});
	return records;
}

void naming(benchmark::State &state)
{
	const std::vector<KeyRecord> records = typing_mix();
	std::size_t i = 0;
	for (auto _ : state) {
		const KeyRecord &record = records[i];
		benchmark::DoNotOptimize(name_key(record.scancode, record.extended, record.vk));
		i = i + 1 == records.size() ? 0 : i + 1;
	}
	state.SetItemsProcessed(state.iterations());
}
BENCHMARK(naming);

void naming_and_modifiers(benchmark::State &state)
{
	const std::vector<KeyRecord> records = typing_mix();
	const std::vector<const char *> held = {"ShiftLeft", "KeyA", "ControlRight"};
	std::size_t i = 0;
	for (auto _ : state) {
		const KeyRecord &record = records[i];
		const char *name = name_key(record.scancode, record.extended, record.vk);
		benchmark::DoNotOptimize(name);
		benchmark::DoNotOptimize(modifiers_of(held));
		i = i + 1 == records.size() ? 0 : i + 1;
	}
	state.SetItemsProcessed(state.iterations());
}
BENCHMARK(naming_and_modifiers);

} // namespace
} // namespace clackery
