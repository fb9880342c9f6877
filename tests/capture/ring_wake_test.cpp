// The ring's wake: the producer, before it waits, wakes the consumer if it stored records and
// no wake is pending, so a burst makes one wake, and a record stored while the consumer re-arms
// is never left waiting for the next tick.

#include "capture/ring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

namespace clackery {
namespace {

void count_wake(void *context)
{
	static_cast<std::atomic<int> *>(context)->fetch_add(1, std::memory_order_relaxed);
}

KeyRecord numbered(std::uint32_t n)
{
	KeyRecord record;
	record.scancode = n;
	return record;
}

TEST(RingWake, OneWakePerDrainingPassOnlyForStoredRecords)
{
	auto ring = std::make_unique<KeyRing>();
	const std::uint64_t word = bump_generation(*ring, true);
	KeyRecord out;

	push_record(*ring, numbered(1), word);
	raise_ring_wake(*ring); // no wake installed: nothing to call
	ASSERT_TRUE(pop_record(*ring, out));

	std::atomic<int> wakes{0};
	set_ring_wake(*ring, count_wake, &wakes);
	raise_ring_wake(*ring);
	EXPECT_EQ(wakes.load(), 0) << "nothing stored since the last raise";
	for (std::uint32_t n = 0; n < 3; ++n)
		push_record(*ring, numbered(n), word);
	EXPECT_EQ(wakes.load(), 0) << "storing alone wakes nobody: the hook must not pay for it";
	raise_ring_wake(*ring);
	EXPECT_EQ(wakes.load(), 1) << "a burst makes one wake";
	push_record(*ring, numbered(3), word);
	raise_ring_wake(*ring);
	EXPECT_EQ(wakes.load(), 1) << "one is still pending";

	EXPECT_TRUE(take_ring_wake(*ring));
	raise_ring_wake(*ring);
	EXPECT_EQ(wakes.load(), 1) << "re-armed, but nothing new stored";
	push_record(*ring, numbered(4), word);
	raise_ring_wake(*ring);
	EXPECT_EQ(wakes.load(), 2) << "after re-arming, the next record wakes even though the ring is not empty";
	EXPECT_TRUE(take_ring_wake(*ring));
	EXPECT_FALSE(take_ring_wake(*ring));
	while (pop_record(*ring, out)) {
	}

	// A full ring refuses the last record; the others still wake once.
	for (std::uint32_t n = 0; n <= RING_CAPACITY; ++n)
		push_record(*ring, numbered(n), word);
	raise_ring_wake(*ring);
	EXPECT_EQ(wakes.load(), 3);
	EXPECT_EQ(read_ring_counters(*ring).dropped, 1u);
	EXPECT_TRUE(take_ring_wake(*ring));
	while (pop_record(*ring, out)) {
	}

	set_ring_wake(*ring, nullptr, nullptr);
	push_record(*ring, numbered(9), word);
	raise_ring_wake(*ring);
	EXPECT_EQ(wakes.load(), 3) << "removed";
	EXPECT_FALSE(take_ring_wake(*ring));
}

// A consumer that drains only when woken, as the UI thread between ticks. A record stored while
// it re-arms would wait forever here, so every record arriving proves none was stranded.
struct WakeCounts {
	std::atomic<std::uint64_t> raised{0};
	std::atomic<std::uint64_t> taken{0};
	std::atomic<std::uint64_t> overlapping{0}; // a wake raised while another still waited
};

void count_outstanding(void *context)
{
	auto *counts = static_cast<WakeCounts *>(context);
	const std::uint64_t raised = counts->raised.fetch_add(1, std::memory_order_acq_rel) + 1;
	if (raised - counts->taken.load(std::memory_order_acquire) > 1)
		counts->overlapping.fetch_add(1, std::memory_order_relaxed);
}

TEST(RingWake, ConsumerDrainingOnlyWhenWokenGetsEveryRecord)
{
	constexpr std::uint32_t RECORDS = 200000;
	auto ring = std::make_unique<KeyRing>();
	const std::uint64_t word = bump_generation(*ring, true);
	WakeCounts counts;
	set_ring_wake(*ring, count_outstanding, &counts);

	std::thread producer([&] {
		for (std::uint32_t n = 0; n < RECORDS; ++n) {
			// Typing, not a flood: the ring often runs empty, so the re-arming races the pushes.
			while (ring->write_index.load() - ring->read_index.load() >= RING_CAPACITY) {
				raise_ring_wake(*ring); // as the hook thread does before it waits
				std::this_thread::yield();
			}
			push_record(*ring, numbered(n), word);
			// Keys come alone or a few at a time between the thread's waits.
			if (n % 3 != 1)
				raise_ring_wake(*ring);
			if (n % 64 == 0)
				std::this_thread::yield();
		}
		raise_ring_wake(*ring);
	});

	std::uint32_t received = 0;
	std::uint32_t out_of_order = 0;
	bool stranded = false;
	KeyRecord out;
	while (received < RECORDS) {
		const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
		while (counts.raised.load(std::memory_order_acquire) == counts.taken.load(std::memory_order_relaxed)) {
			if (std::chrono::steady_clock::now() > give_up) {
				stranded = true;
				break;
			}
			std::this_thread::yield();
		}
		if (stranded)
			break;
		// Counted before re-arming, so a wake raised after it sees this count.
		counts.taken.fetch_add(1, std::memory_order_acq_rel);
		EXPECT_TRUE(take_ring_wake(*ring));
		while (pop_record(*ring, out)) {
			if (out.scancode != received)
				++out_of_order;
			++received;
		}
	}
	producer.join();

	EXPECT_FALSE(stranded) << received << " of " << RECORDS << " records arrived";
	EXPECT_EQ(out_of_order, 0u);
	EXPECT_EQ(counts.overlapping.load(), 0u) << "at most one wake waits at a time";
	EXPECT_LE(counts.raised.load(), RECORDS);
	EXPECT_EQ(read_ring_counters(*ring).queued, RECORDS);
}

} // namespace
} // namespace clackery
