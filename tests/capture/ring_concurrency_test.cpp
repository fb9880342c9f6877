// The ring under real concurrency: one producer thread, one consumer thread that also changes
// the capture word, as the hook thread and the UI thread do.

#include "capture/ring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#if defined(__SANITIZE_THREAD__)
#define CLACKERY_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CLACKERY_UNDER_TSAN 1
#endif
#endif

namespace clackery {
namespace {

#ifdef CLACKERY_UNDER_TSAN
constexpr std::uint32_t RECORDS = 1000000; // the sanitizer runs everything many times slower
#else
constexpr std::uint32_t RECORDS = 4000000;
#endif

// Records carry their sequence number, and the capture word the producer saw in t (exact in a
// double at these sizes), so the consumer can tell which generation they were made in.
KeyRecord sequenced(std::uint32_t n, std::uint64_t word)
{
	KeyRecord record;
	record.scancode = n;
	record.vk = n & 0xFF;
	record.t = static_cast<double>(word);
	return record;
}

std::uint64_t waiting(const KeyRing &ring)
{
	return ring.write_index.load(std::memory_order_acquire) - ring.read_index.load(std::memory_order_acquire);
}

TEST(RingConcurrency, NothingIsLostOrDuplicatedWhileThereIsRoom)
{
	auto ring = std::make_unique<KeyRing>();
	const std::uint64_t word = bump_generation(*ring, true);

	std::thread producer([&] {
		for (std::uint32_t n = 0; n < RECORDS; ++n) {
			// Only the consumer frees room, so room seen here is still there at the push.
			while (waiting(*ring) >= RING_CAPACITY)
				std::this_thread::yield();
			push_record(*ring, sequenced(n, word), word);
		}
	});

	std::uint32_t expected = 0;
	std::uint32_t out_of_order = 0;
	KeyRecord out;
	while (expected < RECORDS) {
		if (!pop_record(*ring, out)) {
			std::this_thread::yield();
			continue;
		}
		if (out.scancode != expected || out.vk != (expected & 0xFF) || out.generation != (word >> 1))
			++out_of_order;
		++expected;
	}
	producer.join();

	EXPECT_EQ(out_of_order, 0u);
	EXPECT_FALSE(pop_record(*ring, out));
	const RingCounters counters = read_ring_counters(*ring);
	EXPECT_EQ(counters.queued, RECORDS);
	EXPECT_EQ(counters.dropped, 0u);
	EXPECT_EQ(counters.paused, 0u);
}

TEST(RingConcurrency, FullRingCountsEveryRefusedRecordExactly)
{
	auto ring = std::make_unique<KeyRing>();
	const std::uint64_t word = bump_generation(*ring, true);
	const std::uint32_t records = RECORDS / 4;
	std::atomic<bool> producer_done{false};

	std::thread producer([&] {
		for (std::uint32_t n = 0; n < records; ++n)
			push_record(*ring, sequenced(n, word), word);
		producer_done.store(true, std::memory_order_release);
	});

	// A consumer that lets the ring fill up before each burst of pops, as a stalled UI
	// thread would.
	std::uint64_t received = 0;
	std::int64_t last = -1;
	std::uint64_t out_of_order = 0;
	KeyRecord out;
	for (;;) {
		const bool done = producer_done.load(std::memory_order_acquire);
		if (!done && waiting(*ring) < RING_CAPACITY) {
			std::this_thread::yield();
			continue;
		}
		for (std::size_t burst = 0; burst < RING_CAPACITY / 2 && pop_record(*ring, out); ++burst) {
			if (static_cast<std::int64_t>(out.scancode) <= last)
				++out_of_order;
			last = out.scancode;
			++received;
		}
		if (done && waiting(*ring) == 0)
			break;
	}
	producer.join();

	const RingCounters counters = read_ring_counters(*ring);
	EXPECT_EQ(out_of_order, 0u);
	EXPECT_GT(counters.dropped, 0u);
	EXPECT_EQ(counters.queued, received);
	EXPECT_EQ(counters.queued + counters.dropped, records);
	EXPECT_EQ(counters.paused, 0u);
}

TEST(RingConcurrency, PauseResumeStormNeverDeliversARecordOfAnEndedGeneration)
{
	auto ring = std::make_unique<KeyRing>();
	std::uint64_t current = bump_generation(*ring, true);
	std::atomic<bool> producer_done{false};
	std::atomic<bool> parked{false};
	std::atomic<bool> go{false};
	std::uint64_t pushed = 0;

	// The hook's own rule: push only while the loaded word is active, stamped with that word.
	std::thread producer([&] {
		for (std::uint32_t n = 0; n < RECORDS; ++n) {
			// One change of generation over waiting records whatever the scheduler does: on a
			// loaded machine the producer could otherwise finish before the consumer first runs.
			if (n == 256) {
				parked.store(true, std::memory_order_release);
				while (!go.load(std::memory_order_acquire))
					std::this_thread::yield();
			}
			const std::uint64_t word = ring->capture_word.load(std::memory_order_acquire);
			if ((word & CAPTURE_ACTIVE_BIT) == 0) {
				std::this_thread::yield();
				continue;
			}
			push_record(*ring, sequenced(n, word), word);
			++pushed;
		}
		producer_done.store(true, std::memory_order_release);
	});

	std::uint64_t received = 0;
	std::uint64_t bumps = 0;
	std::uint64_t ended_generation = 0;
	std::uint64_t out_of_order = 0;
	std::int64_t last = -1;
	KeyRecord out;
	while (!parked.load(std::memory_order_acquire))
		std::this_thread::yield();
	bump_generation(*ring, false);
	current = bump_generation(*ring, true);
	++bumps;
	go.store(true, std::memory_order_release);
	for (std::uint64_t round = 0;; ++round) {
		const bool done = producer_done.load(std::memory_order_acquire);
		// Change the generation while records wait, so some are certainly stale.
		if (!done && round % 64 == 0 && waiting(*ring) > 0) {
			switch (bumps++ % 3) {
			case 0: // pause and resume
				bump_generation(*ring, false);
				current = bump_generation(*ring, true);
				break;
			case 1: // a layout change with capture open
				current = bump_generation(*ring, true);
				break;
			default: // a pause that lasts a while
				bump_generation(*ring, false);
				for (int spin = 0; spin < 50; ++spin)
					std::this_thread::yield();
				current = bump_generation(*ring, true);
				break;
			}
		}
		bool any = false;
		for (int burst = 0; burst < 200 && pop_record(*ring, out); ++burst) {
			any = true;
			++received;
			if (out.t != static_cast<double>(current) || out.generation != (current >> 1))
				++ended_generation;
			if (static_cast<std::int64_t>(out.scancode) <= last)
				++out_of_order;
			last = out.scancode;
		}
		if (done && waiting(*ring) == 0)
			break;
		if (!any)
			std::this_thread::yield();
	}
	producer.join();

	const RingCounters counters = read_ring_counters(*ring);
	EXPECT_EQ(ended_generation, 0u);
	EXPECT_EQ(out_of_order, 0u);
	EXPECT_GT(bumps, 0u);
	EXPECT_GT(counters.paused, 0u);
	EXPECT_GT(received, 0u);
	EXPECT_EQ(counters.queued + counters.dropped, pushed);
	EXPECT_EQ(received + counters.paused, counters.queued);
}

} // namespace
} // namespace clackery
