// The ring on one thread: capacity, the generation rule, draining and the capture word.

#include "capture/os_input.h"
#include "capture/ring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace clackery {
namespace {

KeyRecord numbered(std::uint32_t n)
{
	KeyRecord record;
	record.scancode = n;
	record.vk = n % 256;
	record.down = (n % 2) == 0;
	record.t = 1000.0 + n;
	return record;
}

std::uint64_t waiting(const KeyRing &ring)
{
	return ring.write_index.load() - ring.read_index.load();
}

class RingTest : public ::testing::Test {
protected:
	std::unique_ptr<KeyRing> ring = std::make_unique<KeyRing>();
};

TEST_F(RingTest, StartsEmptyInactiveAndUncounted)
{
	KeyRecord out = numbered(7);
	EXPECT_FALSE(pop_record(*ring, out));
	EXPECT_EQ(ring->capture_word.load(), 0u);
	const RingCounters counters = read_ring_counters(*ring);
	EXPECT_EQ(counters.queued, 0u);
	EXPECT_EQ(counters.dropped, 0u);
	EXPECT_EQ(counters.paused, 0u);
}

TEST_F(RingTest, WriteIndexHasACacheLineOfItsOwn)
{
	const auto address = [](const void *p) { return reinterpret_cast<std::uintptr_t>(p); };
	const std::uintptr_t write = address(&ring->write_index);
	EXPECT_EQ(write % 64, 0u);
	EXPECT_GE(write - address(&ring->read_index), 64u);
	EXPECT_GE(address(&ring->capture_word) - write, 64u);
}

TEST_F(RingTest, EachBumpStartsANewGenerationAndSetsTheActiveBit)
{
	EXPECT_EQ(bump_generation(*ring, true), 3u);  // generation 1, active
	EXPECT_EQ(bump_generation(*ring, false), 4u); // generation 2, inactive
	EXPECT_EQ(bump_generation(*ring, false), 6u); // generation 3, still inactive
	EXPECT_EQ(bump_generation(*ring, true), 9u);  // generation 4, active
	EXPECT_EQ(ring->capture_word.load(), 9u);
}

TEST_F(RingTest, FullRingRefusesTheNewestAndKeepsTheOlderRecordsInOrder)
{
	const std::uint64_t word = bump_generation(*ring, true);
	for (std::uint32_t n = 0; n < RING_CAPACITY; ++n)
		push_record(*ring, numbered(n), word);
	push_record(*ring, numbered(99999), word);
	push_record(*ring, numbered(99998), word);

	RingCounters counters = read_ring_counters(*ring);
	EXPECT_EQ(counters.queued, RING_CAPACITY);
	EXPECT_EQ(counters.dropped, 2u);
	EXPECT_EQ(waiting(*ring), RING_CAPACITY);

	KeyRecord out;
	for (std::uint32_t n = 0; n < RING_CAPACITY; ++n) {
		ASSERT_TRUE(pop_record(*ring, out)) << n;
		EXPECT_EQ(out.scancode, n);
		EXPECT_EQ(out.vk, n % 256);
		EXPECT_EQ(out.down, n % 2 == 0);
		EXPECT_EQ(out.t, 1000.0 + n);
		EXPECT_EQ(out.generation, word >> 1);
	}
	EXPECT_FALSE(pop_record(*ring, out));
	// Room again after the consumer caught up.
	push_record(*ring, numbered(5), word);
	ASSERT_TRUE(pop_record(*ring, out));
	EXPECT_EQ(out.scancode, 5u);
	EXPECT_EQ(read_ring_counters(*ring).dropped, 2u);
}

TEST_F(RingTest, PoppedSlotIsZeroed)
{
	const std::uint64_t word = bump_generation(*ring, true);
	push_record(*ring, numbered(12), word);
	KeyRecord out;
	ASSERT_TRUE(pop_record(*ring, out));
	const KeyRecord &slot = ring->slots[0];
	EXPECT_EQ(slot.scancode, 0u);
	EXPECT_EQ(slot.vk, 0u);
	EXPECT_EQ(slot.t, 0.0);
	EXPECT_EQ(slot.generation, 0u);
}

TEST_F(RingTest, NothingIsCapturedBeforeCaptureIsOpened)
{
	record_captured_key(*ring, numbered(1));
	EXPECT_EQ(waiting(*ring), 0u);
	EXPECT_EQ(read_ring_counters(*ring).queued, 0u);

	bump_generation(*ring, true);
	record_captured_key(*ring, numbered(2));
	bump_generation(*ring, false);
	record_captured_key(*ring, numbered(3));
	EXPECT_EQ(read_ring_counters(*ring).queued, 1u);
}

TEST_F(RingTest, RecordOfAnOlderActiveWordIsDiscardedAndCounted)
{
	const std::uint64_t old_word = bump_generation(*ring, true);
	bump_generation(*ring, true);
	push_record(*ring, numbered(1), old_word);
	KeyRecord out = numbered(42);
	EXPECT_FALSE(pop_record(*ring, out));
	EXPECT_EQ(out.scancode, 0u) << "a discarded record must not leak out";
	EXPECT_EQ(read_ring_counters(*ring).paused, 1u);
	EXPECT_EQ(waiting(*ring), 0u);
}

TEST_F(RingTest, PauseAndResumeDiscardEveryWaitingRecordOneByOne)
{
	const std::uint64_t word = bump_generation(*ring, true);
	for (std::uint32_t n = 0; n < 5; ++n)
		push_record(*ring, numbered(n), word);
	bump_generation(*ring, false);
	bump_generation(*ring, true);
	KeyRecord out;
	EXPECT_FALSE(pop_record(*ring, out));
	EXPECT_EQ(read_ring_counters(*ring).paused, 5u);
	EXPECT_FALSE(pop_record(*ring, out));
	EXPECT_EQ(read_ring_counters(*ring).paused, 5u);
}

TEST_F(RingTest, RecordsWaitingWhileInactiveAreDiscarded)
{
	const std::uint64_t word = bump_generation(*ring, true);
	push_record(*ring, numbered(1), word);
	bump_generation(*ring, false);
	KeyRecord out;
	EXPECT_FALSE(pop_record(*ring, out));
	EXPECT_EQ(read_ring_counters(*ring).paused, 1u);
}

TEST_F(RingTest, StaleRecordsAreSkippedUpToTheFirstCurrentOne)
{
	const std::uint64_t first = bump_generation(*ring, true);
	push_record(*ring, numbered(1), first);
	push_record(*ring, numbered(2), first);
	const std::uint64_t second = bump_generation(*ring, true);
	push_record(*ring, numbered(3), second);
	push_record(*ring, numbered(4), second);

	KeyRecord out;
	ASSERT_TRUE(pop_record(*ring, out));
	EXPECT_EQ(out.scancode, 3u);
	EXPECT_EQ(read_ring_counters(*ring).paused, 2u);
	ASSERT_TRUE(pop_record(*ring, out));
	EXPECT_EQ(out.scancode, 4u);
	EXPECT_FALSE(pop_record(*ring, out));
}

TEST_F(RingTest, DrainEmptiesTheRingWithoutCounting)
{
	drain_ring(*ring);
	EXPECT_EQ(ring->read_index.load(), ring->write_index.load());

	const std::uint64_t word = bump_generation(*ring, true);
	for (std::uint32_t n = 1; n <= 3; ++n)
		push_record(*ring, numbered(n), word);
	drain_ring(*ring);
	EXPECT_EQ(ring->read_index.load(), 3u);
	EXPECT_EQ(ring->write_index.load(), 3u);
	for (const KeyRecord &slot : ring->slots)
		ASSERT_EQ(slot.scancode, 0u);
	const RingCounters counters = read_ring_counters(*ring);
	EXPECT_EQ(counters.queued, 3u);
	EXPECT_EQ(counters.paused, 0u);
	KeyRecord out;
	EXPECT_FALSE(pop_record(*ring, out));
}

TEST(CaptureClock, FileTimeOfTheUnixEpochIsZero)
{
	EXPECT_EQ(filetime_to_unix_ms(116444736000000000ull), 0.0);
	EXPECT_DOUBLE_EQ(filetime_to_unix_ms(116444736000000000ull + 12345), 1.2345);
	// 2026-01-01T00:00:00Z
	EXPECT_EQ(filetime_to_unix_ms(116444736000000000ull + 17672256000000000ull), 1767225600000.0);
}

} // namespace
} // namespace clackery
