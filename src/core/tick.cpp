#include "core/tick.h"

#include "capture/hook_thread.h"
#include "capture/ring.h"
#include "common/clock.h"
#include "core/key_events.h"
#include "core/module_state.h"
#include "core/runtime_state.h"
#include "core/totals.h"

namespace clackery {
namespace {

constexpr std::uint64_t kSweepIntervalMs = 250;
constexpr std::uint64_t kPublishIntervalMs = 2000;

std::uint64_t next_sweep = 0;
std::uint64_t next_publish = 0;

void consume_ring()
{
	KeyRing &ring = key_ring();
	DeliveryCounters &counters = delivery_counters();
	KeyRecord record;
	// No cap per tick: a burst is never held back.
	while (pop_record(ring, record)) {
		if (runtime_state().paused)
			continue;
		KeyTally tally;
		const auto event = update_held_keys(held_keys(), record, tally);
		counters.unknown += tally.unknown;
		counters.repeated += tally.repeated;
		if (event)
			emit_key_event(*event);
	}
}

} // namespace

void drain_keys()
{
	if (is_running())
		consume_ring();
}

void tick()
{
	tick_with(tick_count_ms, key_state);
}

void tick_with(const std::function<std::uint64_t()> &clock_ms, const std::function<KeyState(std::uint32_t vk)> &probe)
{
	if (!is_running())
		return;
	consume_ring();
	const std::uint64_t now = clock_ms();
	if (now >= next_sweep) {
		next_sweep = now + kSweepIntervalMs;
		if (!runtime_state().paused) {
			for (const KeyEvent &event : sweep_held_keys(held_keys(), probe, wall_clock_ms()))
				emit_key_event(event);
		}
	}
	if (now >= next_publish) {
		next_publish = now + kPublishIntervalMs;
		publish_state(false);
	}
}

} // namespace clackery
