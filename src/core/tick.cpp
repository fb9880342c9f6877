#include "core/tick.h"

#include "capture/hook_thread.h"
#include "capture/ring.h"
#include "common/clock.h"
#include "core/keys_state.h"
#include "core/module_state.h"
#include "core/privacy.h"
#include "core/runtime_state.h"
#include "core/totals.h"

namespace clackery {
namespace {

constexpr std::uint64_t kSweepIntervalMs = 250;
constexpr std::uint64_t kPublishIntervalMs = 2000;

std::uint64_t next_sweep = 0;
std::uint64_t next_publish = 0;

void consume_ring(std::uint64_t now)
{
	KeyRing &ring = key_ring();
	DeliveryCounters &counters = delivery_counters();
	KeyRecord record;
	// No cap per tick: a burst is never held back.
	while (pop_record(ring, record)) {
		// While the screen is locked, keys typed into the locker reach nothing at all.
		if (runtime_state().paused || privacy_drops_keys())
			continue;
		KeyTally tally;
		const auto event = update_held_keys(held_keys(), record, tally);
		counters.unknown += tally.unknown;
		counters.repeated += tally.repeated;
		if (event)
			pass_key_event(*event, now);
	}
}

} // namespace

void drain_keys()
{
	if (is_running())
		consume_ring(tick_count_ms());
}

void tick()
{
	tick_with(tick_count_ms, key_state);
}

void tick_with(const std::function<std::uint64_t()> &clock_ms, const std::function<KeyState(std::uint32_t vk)> &probe)
{
	if (!is_running())
		return;
	const std::uint64_t now = clock_ms();
	follow_privacy(now);
	consume_ring(now);
	if (now >= next_sweep) {
		next_sweep = now + kSweepIntervalMs;
		if (!runtime_state().paused && !privacy_drops_keys()) {
			for (const KeyEvent &event : sweep_held_keys(held_keys(), probe, wall_clock_ms()))
				pass_key_event(event, now);
		}
	}
	if (now >= next_publish) {
		next_publish = now + kPublishIntervalMs;
		publish_state(false);
	}
}

} // namespace clackery
