// The watch over the real low-level hook under Wine: the hook removed behind the thread's back (as
// Windows removes a slow one; Wine never does), sessions and power by their posted messages (Wine
// sends none of its own), and the elevated-window check through a stand-in probe (Wine reports
// every process as of high integrity).

#include "capture/capture_health.h"
#include "capture/elevation.h"
#include "capture/held_keys.h"
#include "capture/hook_thread.h"
#include "capture/witness_match.h"
#include "hook_test_support.h"
#include "interactive_desktop.h"

#include <gtest/gtest.h>

#include "common/win32.h"

#include <wtsapi32.h>

#include <memory>
#include <string>

namespace clackery {
namespace {

struct Key {
	WORD vk;
	WORD scancode;
	bool extended;
};

constexpr Key KEY_A{'A', 0x1E, false};
constexpr Key KEY_B{'B', 0x30, false};
constexpr Key KEY_Z{'Z', 0x2C, false};
constexpr Key LEFT_SHIFT{VK_LSHIFT, 0x2A, false};
constexpr Key RIGHT_CTRL{VK_RCONTROL, 0x1D, true};
constexpr Key ARROW_UP{VK_UP, 0x48, true};

struct Stroke {
	Key key;
	bool down;
};

void send(const Stroke &stroke)
{
	INPUT input{};
	input.type = INPUT_KEYBOARD;
	input.ki.wVk = stroke.key.vk;
	input.ki.wScan = stroke.key.scancode;
	input.ki.dwFlags = (stroke.key.extended ? KEYEVENTF_EXTENDEDKEY : 0) | (stroke.down ? 0 : KEYEVENTF_KEYUP);
	ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
}

// Shift, Ctrl held across other keys: the gap's keys must come in this order, each once.
const std::vector<Stroke> GAP = {{LEFT_SHIFT, true},  {KEY_A, true},      {KEY_A, false}, {RIGHT_CTRL, true},
				 {ARROW_UP, true},    {ARROW_UP, false},  {KEY_Z, true},  {KEY_Z, false},
				 {RIGHT_CTRL, false}, {LEFT_SHIFT, false}};

void expect_strokes(const std::vector<KeyRecord> &records, const std::vector<Stroke> &strokes)
{
	ASSERT_EQ(records.size(), strokes.size());
	for (std::size_t i = 0; i < strokes.size(); ++i) {
		SCOPED_TRACE("stroke " + std::to_string(i));
		EXPECT_EQ(records[i].scancode, strokes[i].key.scancode);
		EXPECT_EQ(records[i].vk, strokes[i].key.vk);
		EXPECT_EQ(records[i].extended, strokes[i].key.extended);
		EXPECT_EQ(records[i].down, strokes[i].down);
		EXPECT_FALSE(records[i].synthetic);
	}
}

class WatchedHook : public ::testing::Test {
protected:
	void SetUp() override
	{
		CLACKERY_SKIP_WITHOUT_INTERACTIVE_DESKTOP();
		ASSERT_TRUE(start_hook_thread(*ring, true)) << "error " << hook_last_error(*ring);
		ASSERT_NE(ring->hook.os.witness_window.load(), nullptr);
		ASSERT_NE(ring->hook.os.session_window.load(), nullptr);
		bump_generation(*ring, true);
	}
	void TearDown() override { stop_hook_thread(*ring); }

	// Handled on the hook thread once a test key posted after it has arrived.
	void post_event(CaptureTestEvent event, std::uint64_t arg = 0)
	{
		ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(event), arg));
		settle();
	}
	void settle()
	{
		ASSERT_TRUE(post_test_key(*ring, test_key(0x39, VK_SPACE, true)));
		const std::vector<KeyRecord> marker = wait_for_records(*ring, 1);
		ASSERT_EQ(marker.size(), 1u);
		ASSERT_TRUE(marker[0].synthetic);
	}
	void post_system(UINT message, WPARAM change)
	{
		ASSERT_TRUE(PostMessageW(static_cast<HWND>(ring->hook.os.session_window.load()), message, change, 0));
	}
	// Twice the witness's window with nothing arriving: nothing late, nothing doubled.
	void expect_nothing_more()
	{
		Sleep(static_cast<DWORD>(2 * WITNESS_WINDOW_MS));
		KeyRecord extra;
		EXPECT_FALSE(pop_record(*ring, extra)) << "an extra record, vk " << extra.vk;
	}
	std::uint64_t reinstalls() const { return read_capture_health(*ring, 0).reinstalls; }

	CaptureLines lines;
	std::unique_ptr<KeyRing> ring = std::make_unique<KeyRing>();
};

TEST_F(WatchedHook, ALiveHookIsLeftAloneAndTheThreadRunsTimeCritical)
{
	std::vector<Stroke> burst;
	for (int i = 0; i < 300; ++i)
		burst.push_back(Stroke{i % 3 == 0 ? KEY_A : (i % 3 == 1 ? KEY_B : RIGHT_CTRL), (i / 3) % 2 == 0});
	for (const Stroke &stroke : burst)
		send(stroke);
	expect_strokes(wait_for_records(*ring, burst.size()), burst);
	expect_nothing_more();
	EXPECT_EQ(reinstalls(), 0u);
	EXPECT_EQ(read_capture_health(*ring, 0).status, CaptureStatus::active);

	HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, ring->hook.thread_id.load());
	ASSERT_NE(thread, nullptr);
	EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_TIME_CRITICAL);
	CloseHandle(thread);
}

TEST_F(WatchedHook, ADroppedHookIsPutBackAndTheGapsKeysArriveOnceInOrder)
{
	send({KEY_B, true});
	send({KEY_B, false});
	expect_strokes(wait_for_records(*ring, 2), {{KEY_B, true}, {KEY_B, false}});

	post_event(CaptureTestEvent::drop_hook);
	for (const Stroke &stroke : GAP)
		send(stroke);
	expect_strokes(wait_for_records(*ring, GAP.size()), GAP);
	EXPECT_EQ(reinstalls(), 1u);
	EXPECT_EQ(CaptureLines::count("hook reinstalled (1)"), 1);
	expect_nothing_more();

	// The new hook is the source again: its keys come at once and the witness adds none.
	send({KEY_A, true});
	send({KEY_A, false});
	expect_strokes(wait_for_records(*ring, 2), {{KEY_A, true}, {KEY_A, false}});
	expect_nothing_more();
	EXPECT_EQ(reinstalls(), 1u);

	// And a second loss is a second reinstall.
	post_event(CaptureTestEvent::drop_hook);
	send({KEY_Z, true});
	send({KEY_Z, false});
	expect_strokes(wait_for_records(*ring, 2), {{KEY_Z, true}, {KEY_Z, false}});
	EXPECT_EQ(reinstalls(), 2u);
	EXPECT_EQ(CaptureLines::count("hook reinstalled (2)"), 1);
	EXPECT_EQ(read_ring_counters(*ring).dropped, 0u);
}

TEST_F(WatchedHook, TheGapIsNotDeliveredWhileCaptureIsClosed)
{
	post_event(CaptureTestEvent::drop_hook);
	bump_generation(*ring, false);
	send({KEY_A, true});
	send({KEY_A, false});
	ASSERT_TRUE(wait_until([&] { return reinstalls() == 1; }));
	bump_generation(*ring, true);
	send({KEY_B, true});
	expect_strokes(wait_for_records(*ring, 1), {{KEY_B, true}});
	expect_nothing_more();
}

TEST_F(WatchedHook, ALockReleasesHeldKeysAndNothingArrivesUntilUnlock)
{
	HeldKeys held;
	KeyTally tally;
	send({RIGHT_CTRL, true});
	for (const KeyRecord &record : wait_for_records(*ring, 1))
		update_held_keys(held, record, tally);
	ASSERT_EQ(held.size(), 1u);
	const std::uint64_t absences = capture_absences(*ring);

	post_system(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
	ASSERT_TRUE(wait_until([&] { return capture_away(*ring); }));
	// What the consumer does when the count has moved.
	EXPECT_EQ(capture_absences(*ring), absences + 1);
	const std::vector<KeyEvent> released = release_all_held_keys(held, 0);
	ASSERT_EQ(released.size(), 1u);
	EXPECT_STREQ(released[0].code, "ControlRight");
	EXPECT_EQ(read_capture_health(*ring, 0).status, CaptureStatus::paused);

	// A user switch on top of the lock: both must end before keys come again.
	post_system(WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT);
	send({RIGHT_CTRL, false});
	send({KEY_A, true});
	send({KEY_A, false});
	post_system(WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT);
	send({KEY_Z, true});
	send({KEY_Z, false});
	expect_nothing_more();
	EXPECT_TRUE(capture_away(*ring));
	EXPECT_EQ(reinstalls(), 0u); // keys while away are no sign of a lost hook

	post_system(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
	ASSERT_TRUE(wait_until([&] { return !capture_away(*ring); }));
	send({KEY_B, true});
	send({KEY_B, false});
	expect_strokes(wait_for_records(*ring, 2), {{KEY_B, true}, {KEY_B, false}});
	expect_nothing_more();
	EXPECT_EQ(reinstalls(), 0u);
	EXPECT_EQ(capture_absences(*ring), absences + 1);
	EXPECT_EQ(read_capture_health(*ring, 0).status, CaptureStatus::active);
}

TEST_F(WatchedHook, ResumeFromSleepPutsInAFreshHookAtOnce)
{
	// Lost during the sleep, as happens: the resume replaces it before any key could miss it.
	post_event(CaptureTestEvent::drop_hook);
	post_system(WM_POWERBROADCAST, PBT_APMSUSPEND);
	ASSERT_TRUE(wait_until([&] { return capture_away(*ring); }));
	send({KEY_A, true});
	post_system(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
	ASSERT_TRUE(wait_until([&] { return !capture_away(*ring); }));
	send({KEY_B, true});
	send({KEY_B, false});
	expect_strokes(wait_for_records(*ring, 2), {{KEY_B, true}, {KEY_B, false}});
	expect_nothing_more();
	EXPECT_EQ(reinstalls(), 0u);
	EXPECT_EQ(CaptureLines::count("key capture resumed: the session is back"), 1);
}

// Stands in for the system: our process at medium level, the foreground as the test says.
class FakeIntegrity : public IntegrityProbe {
public:
	IntegrityReading own_process() override { return {true, INTEGRITY_MEDIUM, false}; }
	IntegrityReading foreground_process() override
	{
		std::lock_guard<std::mutex> lock(mutex);
		return foreground;
	}
	void set(IntegrityReading reading)
	{
		std::lock_guard<std::mutex> lock(mutex);
		foreground = reading;
	}

private:
	std::mutex mutex;
	IntegrityReading foreground{true, INTEGRITY_HIGH, false};
};

TEST(ElevatedForeground, KeysOfAnElevatedWindowAreNeitherMissedNorDelivered)
{
	CLACKERY_SKIP_WITHOUT_INTERACTIVE_DESKTOP();
	CaptureLines lines;
	FakeIntegrity fake;
	set_integrity_probe(&fake);
	auto ring = std::make_unique<KeyRing>();
	ASSERT_TRUE(start_hook_thread(*ring, true));
	bump_generation(*ring, true);
	// Checked at start, as at every foreground change.
	EXPECT_TRUE(read_capture_health(*ring, 0).elevated_foreground);

	// With the hook gone while an elevated window has the focus, the witness stands back: on
	// Windows neither source sees those keys, and any it did see are not ours to show.
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::drop_hook), 0));
	Sleep(50);
	send({KEY_A, true});
	send({KEY_A, false});
	Sleep(static_cast<DWORD>(2 * WITNESS_WINDOW_MS));
	KeyRecord out;
	EXPECT_FALSE(pop_record(*ring, out));
	EXPECT_EQ(read_capture_health(*ring, 0).reinstalls, 0u);

	// Focus returns to a window of ours: the notice goes, and the watch resumes.
	fake.set(IntegrityReading{true, INTEGRITY_MEDIUM, false});
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::check_foreground), 0));
	ASSERT_TRUE(wait_until([&] { return !read_capture_health(*ring, 0).elevated_foreground; }));
	send({KEY_Z, true});
	send({KEY_Z, false});
	expect_strokes(wait_for_records(*ring, 2), {{KEY_Z, true}, {KEY_Z, false}});
	EXPECT_EQ(read_capture_health(*ring, 0).reinstalls, 1u);

	// A window that will not even say its level is taken as one above us.
	fake.set(IntegrityReading{false, 0, true});
	ASSERT_TRUE(post_capture_test_event(*ring, static_cast<std::uint32_t>(CaptureTestEvent::check_foreground), 0));
	ASSERT_TRUE(wait_until([&] { return read_capture_health(*ring, 0).elevated_foreground; }));
	stop_hook_thread(*ring);
	set_integrity_probe(nullptr);
	EXPECT_EQ(CaptureLines::count("the focused window's keys can be captured again"), 1);
}

TEST(ElevatedForeground, WineReportsOurOwnProcessAsHigh)
{
	// Why the logic above needs the stand-in here: the system's probe finds nothing to report.
	const IntegrityReading own = integrity_probe().own_process();
	ASSERT_TRUE(own.known);
	EXPECT_GE(own.level, INTEGRITY_HIGH);
}

} // namespace
} // namespace clackery
