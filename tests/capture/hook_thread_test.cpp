// The hook thread's contract in test mode (no system capture), the same on every platform:
// start handshake, test keys through the thread's queue, the capture word check, stop.

#include "capture/capture_health.h"
#include "capture/hook_thread.h"
#include "capture/os_input.h"
#include "capture/wake_signal.h"
#include "common/clock.h"
#include "hook_test_support.h"

#include <gtest/gtest.h>

#include <memory>

#ifdef _WIN32
#include "common/win32.h"
#else
#include <poll.h>
#endif

namespace clackery {
namespace {

class TestModeHook : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_TRUE(start_hook_thread(*ring, false));
		word = bump_generation(*ring, true);
	}
	void TearDown() override { stop_hook_thread(*ring); }

	// A key posted after others arrives after them: once it is in, they have been handled.
	void expect_marker_arrives()
	{
		ASSERT_TRUE(post_test_key(*ring, test_key(0x39, 0x20, true)));
		const std::vector<KeyRecord> records = wait_for_records(*ring, 1);
		ASSERT_EQ(records.size(), 1u);
		EXPECT_EQ(records[0].scancode, 0x39u);
	}

	std::unique_ptr<KeyRing> ring = std::make_unique<KeyRing>();
	std::uint64_t word = 0;
};

TEST_F(TestModeHook, ThreadRunsWithoutSystemCapture)
{
	EXPECT_TRUE(hook_running(*ring));
	EXPECT_EQ(hook_last_error(*ring), 0u);
	EXPECT_NE(ring->hook.thread_id.load(), 0u);
}

TEST_F(TestModeHook, PostedKeysBecomeSyntheticRecordsInOrder)
{
	const double before = wall_clock_ms();
	KeyRecord press = test_key(0x1E, 0x41, true);
	press.injected = true;
	KeyRecord extended_release = test_key(0xFFFF, 0xFF, false);
	extended_release.extended = true;
	ASSERT_TRUE(post_test_key(*ring, press));
	ASSERT_TRUE(post_test_key(*ring, extended_release));

	const std::vector<KeyRecord> records = wait_for_records(*ring, 2);
	const double after = wall_clock_ms();
	ASSERT_EQ(records.size(), 2u);
	EXPECT_EQ(records[0].scancode, 0x1Eu);
	EXPECT_EQ(records[0].vk, 0x41u);
	EXPECT_FALSE(records[0].extended);
	EXPECT_TRUE(records[0].down);
	EXPECT_TRUE(records[0].injected);
	EXPECT_EQ(records[1].scancode, 0xFFFFu);
	EXPECT_EQ(records[1].vk, 0xFFu);
	EXPECT_TRUE(records[1].extended);
	EXPECT_FALSE(records[1].down);
	EXPECT_FALSE(records[1].injected);
	for (const KeyRecord &record : records) {
		EXPECT_TRUE(record.synthetic);
		EXPECT_EQ(record.generation, word >> 1);
		EXPECT_GE(record.t, before - 1);
		EXPECT_LE(record.t, after + 1);
	}
	EXPECT_EQ(read_ring_counters(*ring).queued, 2u);
}

TEST_F(TestModeHook, KeyPostedWhileCaptureIsClosedIsRefusedAndCounted)
{
	bump_generation(*ring, false);
	EXPECT_TRUE(post_test_key(*ring, test_key(0x1E, 0x41, true))) << "posting itself succeeds";
	bump_generation(*ring, true);
	expect_marker_arrives();
	const RingCounters counters = read_ring_counters(*ring);
	EXPECT_EQ(counters.paused, 1u);
	EXPECT_EQ(counters.queued, 1u);
}

TEST_F(TestModeHook, KeyPostedWithAStaleCaptureWordIsRefusedAndCounted)
{
	// Posted, then paused and resumed before the thread handled it.
	const std::uint64_t stale = word;
	word = bump_generation(*ring, true);
	const std::uint64_t wparam = 0x1E | (0x41u << 16) | (1u << 25);
	ASSERT_TRUE(os::post_message(ring->hook, ring->hook.thread_id.load(),
				     ThreadMessage{WM_CLACKERY_TEST_KEY, wparam, stale}));
	expect_marker_arrives();
	EXPECT_EQ(read_ring_counters(*ring).paused, 1u);
	EXPECT_EQ(read_ring_counters(*ring).queued, 1u);
}

TEST_F(TestModeHook, OtherMessagesAreIgnored)
{
	ASSERT_TRUE(os::post_message(ring->hook, ring->hook.thread_id.load(), ThreadMessage{0x8030, 0x1E, word}));
	expect_marker_arrives();
	const RingCounters counters = read_ring_counters(*ring);
	EXPECT_EQ(counters.queued, 1u);
	EXPECT_EQ(counters.paused, 0u);
}

TEST_F(TestModeHook, OutOfRangeKeysAreNotPosted)
{
	EXPECT_FALSE(post_test_key(*ring, test_key(0x10000, 0x41, true)));
	EXPECT_FALSE(post_test_key(*ring, test_key(0x1E, 0x100, true)));
	expect_marker_arrives();
	EXPECT_EQ(read_ring_counters(*ring).queued, 1u);
}

TEST_F(TestModeHook, SecondStartReturnsTheFirstResultWithoutASecondThread)
{
	const std::uint32_t id = ring->hook.thread_id.load();
	const std::thread::id thread = ring->hook.thread.get_id();
	EXPECT_TRUE(start_hook_thread(*ring, true)) << "the first call's result, though it asks for the system hook";
	EXPECT_EQ(ring->hook.thread_id.load(), id);
	EXPECT_EQ(ring->hook.thread.get_id(), thread);
	expect_marker_arrives();
}

TEST_F(TestModeHook, StopEndsTheThreadAndClosesCapture)
{
	stop_hook_thread(*ring);
	EXPECT_FALSE(hook_running(*ring));
	EXPECT_EQ(ring->hook.thread_id.load(), 0u);
	EXPECT_FALSE(ring->hook.thread.joinable());
	EXPECT_EQ(ring->capture_word.load() & CAPTURE_ACTIVE_BIT, 0u);
	EXPECT_FALSE(post_test_key(*ring, test_key(0x1E, 0x41, true)));
}

TEST_F(TestModeHook, StopDiscardsRecordsStillWaiting)
{
	ASSERT_TRUE(post_test_key(*ring, test_key(0x1E, 0x41, true)));
	ASSERT_TRUE(post_test_key(*ring, test_key(0x1E, 0x41, false)));
	// Wait until both are in the ring without popping them.
	const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
	while (read_ring_counters(*ring).queued < 2 && std::chrono::steady_clock::now() < deadline)
		std::this_thread::sleep_for(std::chrono::milliseconds(1));
	ASSERT_EQ(read_ring_counters(*ring).queued, 2u);
	stop_hook_thread(*ring);
	EXPECT_EQ(ring->read_index.load(), ring->write_index.load());
	KeyRecord out;
	EXPECT_FALSE(pop_record(*ring, out));
}

TEST_F(TestModeHook, StopTwiceAndStartAgain)
{
	stop_hook_thread(*ring);
	stop_hook_thread(*ring);
	ASSERT_TRUE(start_hook_thread(*ring, false));
	word = bump_generation(*ring, true);
	expect_marker_arrives();
}

// True when the signal is raised, or is raised within `wait_ms`.
bool signal_raised(const WakeSignal &signal, int wait_ms)
{
#ifdef _WIN32
	return WaitForSingleObject(signal.event, static_cast<DWORD>(wait_ms)) == WAIT_OBJECT_0;
#else
	pollfd watched{signal.fd, POLLIN, 0};
	return poll(&watched, 1, wait_ms) == 1;
#endif
}

TEST_F(TestModeHook, TestKeysRaiseTheWakeSignalOnlyWhileCaptureIsOpen)
{
	WakeSignal signal;
	ASSERT_TRUE(open_wake_signal(signal));
	set_ring_wake(*ring, raise_wake_signal, &signal);

	bump_generation(*ring, false);
	ASSERT_TRUE(post_test_key(*ring, test_key(0x1E, 0x41, true)));
	const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
	while (read_ring_counters(*ring).paused < 1 && std::chrono::steady_clock::now() < deadline)
		std::this_thread::sleep_for(std::chrono::milliseconds(1));
	ASSERT_EQ(read_ring_counters(*ring).paused, 1u) << "the closed-capture key was handled";
	EXPECT_FALSE(signal_raised(signal, 0)) << "a refused key wakes nobody";

	bump_generation(*ring, true);
	ASSERT_TRUE(post_test_key(*ring, test_key(0x1E, 0x41, false)));
	ASSERT_TRUE(signal_raised(signal, 5000));
	clear_wake_signal(signal);
	EXPECT_TRUE(take_ring_wake(*ring));
	KeyRecord out;
	ASSERT_TRUE(pop_record(*ring, out)) << "woken with the record already in the ring";
	EXPECT_FALSE(out.down);
	EXPECT_FALSE(signal_raised(signal, 0)) << "cleared";

	stop_hook_thread(*ring);
	set_ring_wake(*ring, nullptr, nullptr);
	close_wake_signal(signal);
}

// The health record through the stand-ins for system events, as the test requests drive it.
TEST_F(TestModeHook, HealthFollowsALostHookAnAbsenceAndTheirEnds)
{
	CaptureLines lines;
	const double now = wall_clock_ms();
	CaptureHealth health = read_capture_health(*ring, now);
	EXPECT_EQ(health.status, CaptureStatus::active);
	EXPECT_FALSE(health.last_key_age_ms.has_value());

	// The hook is found gone and cannot be put back: failed, with the reason.
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::hook_lost), 5));
	expect_marker_arrives();
	health = read_capture_health(*ring, wall_clock_ms());
	EXPECT_EQ(health.status, CaptureStatus::failed);
	EXPECT_EQ(health.error, 5u);
	EXPECT_EQ(health.reinstalls, 0u);
	ASSERT_TRUE(health.last_key_age_ms.has_value()); // the marker
	EXPECT_GE(*health.last_key_age_ms, 0.0);
	EXPECT_LT(*health.last_key_age_ms, 5000.0);
	EXPECT_EQ(lines.count("hook lost and not reinstalled error=5"), 1);

	// Put back: active again, counted and logged.
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::hook_lost), 0));
	expect_marker_arrives();
	health = read_capture_health(*ring, wall_clock_ms());
	EXPECT_EQ(health.status, CaptureStatus::active);
	EXPECT_EQ(health.error, 0u);
	EXPECT_EQ(health.reinstalls, 1u);
	EXPECT_EQ(lines.count("hook reinstalled (1)"), 1);

	// A lock and a sleep overlap: away until both have ended; keys meanwhile are refused.
	const std::uint64_t absences = capture_absences(*ring);
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::away), AWAY_LOCKED));
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::away), AWAY_SUSPENDED));
	ASSERT_TRUE(post_test_key(*ring, test_key(0x1E, 0x41, true)));
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::back), AWAY_SUSPENDED));
	ASSERT_TRUE(post_test_key(*ring, test_key(0x1E, 0x41, false)));
	ASSERT_TRUE(wait_until([&] { return read_ring_counters(*ring).paused == 2; }));
	EXPECT_TRUE(capture_away(*ring));
	EXPECT_EQ(capture_absences(*ring), absences + 1); // one absence, not two
	EXPECT_EQ(read_capture_health(*ring, wall_clock_ms()).status, CaptureStatus::paused);
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::back), AWAY_LOCKED));
	expect_marker_arrives();
	EXPECT_FALSE(capture_away(*ring));
	EXPECT_EQ(read_capture_health(*ring, wall_clock_ms()).status, CaptureStatus::active);

	// Closed by the user is paused too.
	bump_generation(*ring, false);
	EXPECT_EQ(read_capture_health(*ring, wall_clock_ms()).status, CaptureStatus::paused);
}

TEST_F(TestModeHook, ElevatedForegroundIsReportedUntilFocusReturns)
{
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::foreground), 1));
	expect_marker_arrives();
	EXPECT_TRUE(read_capture_health(*ring, wall_clock_ms()).elevated_foreground);
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::foreground), 0));
	expect_marker_arrives();
	EXPECT_FALSE(read_capture_health(*ring, wall_clock_ms()).elevated_foreground);
	EXPECT_FALSE(post_capture_test_event(*ring, 0, 0));
	EXPECT_FALSE(post_capture_test_event(*ring, 7, 0));
}

TEST(HookThread, StopWithoutStartOnlyClosesCaptureAndDrains)
{
	auto ring = std::make_unique<KeyRing>();
	const std::uint64_t word = bump_generation(*ring, true);
	push_record(*ring, test_key(0x1E, 0x41, true), word);
	stop_hook_thread(*ring);
	EXPECT_EQ(ring->capture_word.load(), word + 1); // next generation, inactive
	EXPECT_EQ(ring->read_index.load(), 1u);
	EXPECT_FALSE(hook_running(*ring));
}

TEST(HookThread, PostBeforeStartFails)
{
	auto ring = std::make_unique<KeyRing>();
	bump_generation(*ring, true);
	EXPECT_FALSE(post_test_key(*ring, test_key(0x1E, 0x41, true)));
}

TEST(HookThread, NotRunningIsFailedWithItsError)
{
	auto ring = std::make_unique<KeyRing>();
	ring->hook.last_error.store(ERROR_CODE_NOT_SUPPORTED);
	const CaptureHealth health = read_capture_health(*ring, wall_clock_ms());
	EXPECT_EQ(health.status, CaptureStatus::failed);
	EXPECT_EQ(health.error, ERROR_CODE_NOT_SUPPORTED);
	EXPECT_STREQ(capture_status_name(health.status), "failed");
	EXPECT_FALSE(post_capture_test_event(*ring, 2, 0));
}

TEST(HookThread, DestroyingTheRingStopsItsThread)
{
	auto ring = std::make_unique<KeyRing>();
	ASSERT_TRUE(start_hook_thread(*ring, false));
	ring.reset(); // would terminate the process if the thread were left joinable
	SUCCEED();
}

} // namespace
} // namespace clackery
