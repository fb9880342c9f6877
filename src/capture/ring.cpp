#include "capture/ring.h"

namespace clackery {
namespace {
KeyRing the_ring;

} // namespace

KeyRing::~KeyRing()
{
	if (hook.stop)
		hook.stop(*this);
}

KeyRing &key_ring()
{
	return the_ring;
}

void push_record(KeyRing &ring, const KeyRecord &record, std::uint64_t word)
{
	const std::uint64_t write = ring.write_index.load(std::memory_order_relaxed);
	const std::uint64_t read = ring.read_index.load(std::memory_order_acquire);
	if (write - read >= RING_CAPACITY) {
		// Never overwrite: the consumer keeps an older, gap-free prefix of the key stream.
		ring.dropped.fetch_add(1, std::memory_order_relaxed);
		return;
	}
	KeyRecord &slot = ring.slots[write & RING_MASK];
	slot = record;
	slot.generation = word >> 1;
	ring.write_index.store(write + 1, std::memory_order_release);
	ring.queued.fetch_add(1, std::memory_order_relaxed);
}

void raise_ring_wake(KeyRing &ring)
{
	const std::uint64_t written = ring.write_index.load(std::memory_order_relaxed);
	if (written == ring.wake_checked)
		return;
	ring.wake_checked = written;
	const RingWakeFn wake = ring.wake.load(std::memory_order_acquire);
	if (!wake)
		return;
	// An exchange, not a load: it puts these records' publication before the consumer's
	// re-arming exchange or after it. Before: the drain that follows the re-arming sees them.
	// After: this exchange finds the flag clear and wakes. No record waits for a tick.
	if (!ring.wake_pending.exchange(true, std::memory_order_acq_rel))
		wake(ring.wake_context);
}

void set_ring_wake(KeyRing &ring, RingWakeFn wake, void *context)
{
	if (wake)
		ring.wake_context = context;
	ring.wake.store(wake, std::memory_order_release);
	ring.wake_pending.store(false, std::memory_order_release);
}

bool take_ring_wake(KeyRing &ring)
{
	return ring.wake_pending.exchange(false, std::memory_order_acq_rel);
}

bool pop_record(KeyRing &ring, KeyRecord &out)
{
	for (;;) {
		const std::uint64_t read = ring.read_index.load(std::memory_order_relaxed);
		const std::uint64_t write = ring.write_index.load(std::memory_order_acquire);
		if (read == write)
			return false;
		KeyRecord &slot = ring.slots[read & RING_MASK];
		out = slot;
		slot = KeyRecord{};
		ring.read_index.store(read + 1, std::memory_order_release);

		const std::uint64_t word = ring.capture_word.load(std::memory_order_acquire);
		if ((word & CAPTURE_ACTIVE_BIT) != 0 && out.generation == (word >> 1))
			return true;
		ring.paused.fetch_add(1, std::memory_order_relaxed);
		out = KeyRecord{};
	}
}

std::uint64_t bump_generation(KeyRing &ring, bool active)
{
	std::uint64_t old = ring.capture_word.load(std::memory_order_relaxed);
	std::uint64_t next = 0;
	do {
		next = ((old & ~CAPTURE_ACTIVE_BIT) + 2) | (active ? CAPTURE_ACTIVE_BIT : 0);
	} while (
	    !ring.capture_word.compare_exchange_weak(old, next, std::memory_order_acq_rel, std::memory_order_relaxed));
	return next;
}

RingCounters read_ring_counters(const KeyRing &ring)
{
	RingCounters counters;
	counters.queued = ring.queued.load(std::memory_order_relaxed);
	counters.dropped = ring.dropped.load(std::memory_order_relaxed);
	counters.paused = ring.paused.load(std::memory_order_relaxed);
	return counters;
}

void drain_ring(KeyRing &ring)
{
	std::uint64_t read = ring.read_index.load(std::memory_order_relaxed);
	while (read != ring.write_index.load(std::memory_order_acquire)) {
		ring.slots[read & RING_MASK] = KeyRecord{};
		++read;
		ring.read_index.store(read, std::memory_order_release);
	}
}

} // namespace clackery
