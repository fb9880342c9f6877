#pragma once
// KeyRing: the single-producer, single-consumer ring between the hook thread (producer) and the
// UI thread's tick (consumer), with the capture word that lets the UI thread void everything
// queued before a pause, a resume or a layout change without touching the producer.

#include "capture/hook_control.h"
#include "capture/key_record.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace clackery {

constexpr std::size_t RING_CAPACITY = 4096; // a power of two: the slot is the index masked
constexpr std::uint64_t RING_MASK = RING_CAPACITY - 1;

// Capture word: bit 0 capture active, bits 1..63 the generation.
constexpr std::uint64_t CAPTURE_ACTIVE_BIT = 1;

// Called on the producer's thread when it has stored records while no wake was pending, so the
// consumer drains at once instead of at its next tick. Quick, never blocking.
using RingWakeFn = void (*)(void *context);

struct KeyRing {
	KeyRing() = default;
	~KeyRing(); // stops the hook thread if it still runs
	KeyRing(const KeyRing &) = delete;
	KeyRing &operator=(const KeyRing &) = delete;

	std::array<KeyRecord, RING_CAPACITY> slots{};
	// Both indices run freely; waiting records = write - read, from 0 to RING_CAPACITY.
	alignas(64) std::atomic<std::uint64_t> read_index{0};  // consumer only
	alignas(64) std::atomic<std::uint64_t> write_index{0}; // producer only, on a line of its own
	alignas(64) std::atomic<std::uint64_t> capture_word{0};
	std::atomic<std::uint64_t> queued{0};
	std::atomic<std::uint64_t> dropped{0};
	std::atomic<std::uint64_t> paused{0};
	// One wake at a time: set by the producer that raises it, cleared by the consumer before it
	// drains.
	alignas(64) std::atomic<bool> wake_pending{false};
	std::atomic<RingWakeFn> wake{nullptr};
	void *wake_context = nullptr;   // published by the release store of `wake`
	std::uint64_t wake_checked = 0; // producer only: the write index at its last raise_ring_wake
	HookControl hook;
};

struct RingCounters {
	std::uint64_t queued = 0;  // records accepted
	std::uint64_t dropped = 0; // records refused because the ring was full
	std::uint64_t paused = 0;  // records and test keys discarded for an ended or inactive generation
};

// The module's one ring, in static storage for the life of the library.
KeyRing &key_ring();

// Producer only. `word` is the capture word the caller just loaded and found active. The
// producer never learns whether its record fitted.
void push_record(KeyRing &ring, const KeyRecord &record, std::uint64_t word);

// Consumer only. Yields the oldest record of the current generation, discarding (and counting)
// any stale ones before it; false when the ring is empty.
bool pop_record(KeyRing &ring, KeyRecord &out);

// Producer only, after storing records and outside the system's key hook (the wake is a system
// call): wakes the consumer if records were stored since the last call and no wake is pending.
// The hook thread calls it before every wait, so no record it stored sleeps with it.
void raise_ring_wake(KeyRing &ring);

// Installs the consumer's wake (null removes it). Removing, or replacing a wake already set, is
// safe only while no producer runs: one may be inside the old wake.
void set_ring_wake(KeyRing &ring, RingWakeFn wake, void *context);

// Consumer, first thing when a wake arrives and before it drains: re-arms the wake, so a record
// stored from now on raises a new one. Returns whether a wake was pending.
bool take_ring_wake(KeyRing &ring);

// Starts a new generation with the given active bit; returns the new capture word.
std::uint64_t bump_generation(KeyRing &ring, bool active);

RingCounters read_ring_counters(const KeyRing &ring);

// Empties the ring; only while no producer runs.
void drain_ring(KeyRing &ring);

} // namespace clackery
