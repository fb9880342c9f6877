#include "core/tick.h"

#include "capture/capture_health.h"
#include "capture/hook_thread.h"
#include "capture/ring.h"
#include "common/clock.h"
#include "core/capture_watch.h"
#include "core/key_events.h"
#include "core/privacy.h"
#include "core/runtime_state.h"

namespace clackery {
namespace {

constexpr std::uint64_t kSweepIntervalMs = 250;
constexpr std::uint64_t kPublishIntervalMs = 2000;

void consume_ring(Core &core, std::uint64_t now)
{
	KeyRing &ring = key_ring();
	DeliveryCounters &counters = core.totals;
	KeyRecord record;
	// No cap per tick: a burst is never held back.
	while (pop_record(ring, record)) {
		// While the screen is locked, keys typed into the locker reach nothing at all.
		if (core.runtime.paused || privacy_drops_keys(core))
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
			pass_key_event(core, *event, now);
	}
}

} // namespace

void drain_keys(Core &core)
{
	if (core.running)
		consume_ring(core, tick_count_ms());
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
	const std::uint64_t now = clock_ms();
	if (follow_privacy(core, now))
		publish_state(core, true);
	consume_ring(core, now);
	follow_capture(core, absences);
	if (now >= core.next_sweep) {
		core.next_sweep = now + kSweepIntervalMs;
		// Nothing is delivered while the session is away, sweep releases included.
		if (!core.runtime.paused && !privacy_drops_keys(core) && !capture_away(key_ring())) {
			for (const KeyEvent &event : sweep_held_keys(core.held_keys, probe, wall_clock_ms()))
				pass_key_event(core, event, now);
		}
	}
	if (now >= core.next_publish) {
		core.next_publish = now + kPublishIntervalMs;
		publish_state(core, false);
	}
}

} // namespace clackery
