#include "core/tick.h"

#include "capture/capture_health.h"
#include "capture/hook_thread.h"
#include "capture/ring.h"
#include "common/clock.h"
#include "core/capture_watch.h"
#include "core/key_events.h"
#include "core/runtime_state.h"

namespace clackery {
namespace {

constexpr std::uint64_t kSweepIntervalMs = 250;
constexpr std::uint64_t kPublishIntervalMs = 2000;

void consume_ring(Core &core)
{
	KeyRing &ring = key_ring();
	DeliveryCounters &counters = core.totals;
	KeyRecord record;
	// No cap per tick: a burst is never held back.
	while (pop_record(ring, record)) {
		if (core.runtime.paused)
			continue;
		if (record.kind != RecordKind::key) {
			// What the hook thread queued before the mouse was switched off is not shown.
			if (obs_data_get_bool(core.settings.data, "mouse")) {
				if (const auto event = mouse_event(core.held_buttons, core.held_keys, record))
					emit_mouse_event(core, *event);
			}
			continue;
		}
		KeyTally tally;
		const auto event = update_held_keys(core.held_keys, record, tally);
		counters.unknown += tally.unknown;
		counters.repeated += tally.repeated;
		if (event)
			emit_key_event(core, *event);
	}
}

} // namespace

void drain_keys(Core &core)
{
	if (core.running)
		consume_ring(core);
}

void tick(Core &core)
{
	tick_with(core, tick_count_ms, key_state);
}

void tick_with(Core &core, const std::function<std::uint64_t()> &clock_ms,
	       const std::function<KeyState(std::uint32_t vk)> &probe)
{
	if (!core.running)
		return;
	const std::uint64_t absences = capture_absences(key_ring());
	consume_ring(core);
	follow_capture(core, absences);
	const std::uint64_t now = clock_ms();
	if (now >= core.next_sweep) {
		core.next_sweep = now + kSweepIntervalMs;
		// Nothing is delivered while the session is away, sweep releases included.
		if (!core.runtime.paused && !capture_away(key_ring())) {
			for (const KeyEvent &event : sweep_held_keys(core.held_keys, probe, wall_clock_ms()))
				emit_key_event(core, event);
		}
	}
	if (now >= core.next_publish) {
		core.next_publish = now + kPublishIntervalMs;
		publish_state(core, false);
	}
}

} // namespace clackery
