// The real low-level keyboard hook, driven by SendInput. Under Wine, keys are sent as virtual
// keys with their scan codes (with KEYEVENTF_SCANCODE the hook would see vk 0).

#include "capture/hook_thread.h"
#include "capture/key_names.h"
#include "capture/os_input.h"
#include "capture/wake_signal.h"
#include "hook_test_support.h"
#include "interactive_desktop.h"

#include <gtest/gtest.h>

#include "common/win32.h"

#include <chrono>
#include <memory>
#include <string>

namespace clackery {
namespace {

struct Key {
	WORD vk;
	WORD scancode;
	bool extended;
	const char *name;
};

constexpr Key KEY_A{'A', 0x1E, false, "KeyA"};
constexpr Key KEY_Z{'Z', 0x2C, false, "KeyZ"};
constexpr Key RIGHT_CTRL{VK_RCONTROL, 0x1D, true, "ControlRight"};
constexpr Key NUMPAD_ENTER{VK_RETURN, 0x1C, true, "NumpadEnter"};
constexpr Key ARROW_LEFT{VK_LEFT, 0x4B, true, "ArrowLeft"};
constexpr Key ARROW_UP{VK_UP, 0x48, true, "ArrowUp"};
constexpr Key CONVERT{VK_CONVERT, 0x79, false, "Convert"};
constexpr Key YEN{VK_OEM_5, 0x7D, false, "IntlYen"};

void send_key(const Key &key, bool down)
{
	INPUT input{};
	input.type = INPUT_KEYBOARD;
	input.ki.wVk = key.vk;
	input.ki.wScan = key.scancode;
	input.ki.dwFlags = (key.extended ? KEYEVENTF_EXTENDEDKEY : 0) | (down ? 0 : KEYEVENTF_KEYUP);
	ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
}

class SystemHook : public ::testing::Test {
protected:
	void SetUp() override
	{
		CLACKERY_SKIP_WITHOUT_INTERACTIVE_DESKTOP();
		ASSERT_TRUE(start_hook_thread(*ring, true)) << "error " << hook_last_error(*ring);
		word = bump_generation(*ring, true);
	}
	void TearDown() override { stop_hook_thread(*ring); }

	std::unique_ptr<KeyRing> ring = std::make_unique<KeyRing>();
	std::uint64_t word = 0;
};

TEST_F(SystemHook, InstallsWithoutError)
{
	EXPECT_TRUE(hook_running(*ring));
	EXPECT_EQ(hook_last_error(*ring), 0u);
}

TEST_F(SystemHook, SentKeysReachTheRingInOrderWithTheirFlags)
{
	const Key sequence[] = {KEY_A, RIGHT_CTRL, NUMPAD_ENTER, ARROW_LEFT, ARROW_UP, CONVERT, YEN};
	for (const Key &key : sequence) {
		send_key(key, true);
		send_key(key, false);
	}
	const std::size_t count = 2 * (sizeof(sequence) / sizeof(sequence[0]));
	const std::vector<KeyRecord> records = wait_for_records(*ring, count);
	ASSERT_EQ(records.size(), count);
	for (std::size_t i = 0; i < count; ++i) {
		const Key &key = sequence[i / 2];
		const KeyRecord &record = records[i];
		SCOPED_TRACE(std::string(key.name) + (i % 2 == 0 ? " press" : " release"));
		EXPECT_EQ(record.scancode, key.scancode);
		EXPECT_EQ(record.vk, key.vk);
		EXPECT_EQ(record.extended, key.extended);
		EXPECT_EQ(record.down, i % 2 == 0);
		EXPECT_TRUE(record.injected);
		EXPECT_FALSE(record.synthetic);
		EXPECT_EQ(record.generation, word >> 1);
		EXPECT_STREQ(name_key(record.scancode, record.extended, record.vk), key.name);
	}
	EXPECT_EQ(read_ring_counters(*ring).dropped, 0u);
}

TEST_F(SystemHook, KeysFromTheHookWakeTheConsumerOnceItHasReturned)
{
	WakeSignal signal;
	ASSERT_TRUE(open_wake_signal(signal));
	set_ring_wake(*ring, raise_wake_signal, &signal);
	send_key(KEY_Z, true);
	send_key(KEY_Z, false);
	EXPECT_EQ(WaitForSingleObject(signal.event, 5000), WAIT_OBJECT_0);
	clear_wake_signal(signal);
	EXPECT_TRUE(take_ring_wake(*ring));
	EXPECT_EQ(wait_for_records(*ring, 2).size(), 2u);
	stop_hook_thread(*ring);
	set_ring_wake(*ring, nullptr, nullptr);
	close_wake_signal(signal);
}

TEST_F(SystemHook, GenericShiftArrivesWithItsScanCode)
{
	// Wine passes VK_SHIFT through without a side: the scan code still names the key.
	send_key(Key{VK_SHIFT, 0x36, false, "ShiftRight"}, true);
	send_key(Key{VK_SHIFT, 0x36, false, "ShiftRight"}, false);
	const std::vector<KeyRecord> records = wait_for_records(*ring, 2);
	ASSERT_EQ(records.size(), 2u);
	EXPECT_STREQ(name_key(records[0].scancode, records[0].extended, records[0].vk), "ShiftRight");
	EXPECT_EQ(sided_vk("ShiftRight", records[0].vk), 0xA1u);
}

TEST_F(SystemHook, NothingIsQueuedWhileCaptureIsClosed)
{
	bump_generation(*ring, false);
	send_key(KEY_Z, true);
	send_key(KEY_Z, false);
	word = bump_generation(*ring, true);
	send_key(KEY_A, true);
	send_key(KEY_A, false);
	const std::vector<KeyRecord> records = wait_for_records(*ring, 2);
	ASSERT_EQ(records.size(), 2u);
	EXPECT_EQ(records[0].vk, static_cast<std::uint32_t>('A'));
	EXPECT_EQ(read_ring_counters(*ring).queued, 2u);
}

TEST_F(SystemHook, PostedTestKeyArrivesWithItsCaptureWord)
{
	KeyRecord key = test_key(0x7D, 0xDC, true);
	ASSERT_TRUE(post_test_key(*ring, key));
	const std::vector<KeyRecord> records = wait_for_records(*ring, 1);
	ASSERT_EQ(records.size(), 1u);
	EXPECT_TRUE(records[0].synthetic);
	EXPECT_EQ(records[0].scancode, 0x7Du);
	EXPECT_EQ(records[0].vk, 0xDCu);
	EXPECT_EQ(records[0].generation, word >> 1);
}

TEST_F(SystemHook, StaleCaptureWordIsRefusedAndCounted)
{
	const std::uint64_t stale = word;
	word = bump_generation(*ring, true);
	ASSERT_TRUE(PostThreadMessageW(ring->hook.thread_id.load(), WM_CLACKERY_TEST_KEY, 0x1E | (0x41 << 16),
				       static_cast<LPARAM>(stale)));
	ASSERT_TRUE(post_test_key(*ring, test_key(0x39, VK_SPACE, true)));
	const std::vector<KeyRecord> records = wait_for_records(*ring, 1);
	ASSERT_EQ(records.size(), 1u);
	EXPECT_EQ(records[0].scancode, 0x39u);
	EXPECT_EQ(read_ring_counters(*ring).paused, 1u);
}

TEST_F(SystemHook, ProbeSeesAKeyHeldDown)
{
	send_key(KEY_Z, true);
	ASSERT_EQ(wait_for_records(*ring, 1).size(), 1u);
	EXPECT_EQ(key_state('Z'), KeyState::down);
	send_key(KEY_Z, false);
	ASSERT_EQ(wait_for_records(*ring, 1).size(), 1u);
	EXPECT_EQ(key_state('Z'), KeyState::up);
}

TEST_F(SystemHook, StopJoinsTheThreadWithinASecond)
{
	const auto start = std::chrono::steady_clock::now();
	stop_hook_thread(*ring);
	const auto elapsed = std::chrono::steady_clock::now() - start;
	EXPECT_LT(elapsed, std::chrono::seconds(1));
	EXPECT_FALSE(ring->hook.thread.joinable());
	EXPECT_EQ(ring->hook.thread_id.load(), 0u);
	// The hook is gone: keys sent now reach no ring.
	bump_generation(*ring, true);
	send_key(KEY_A, true);
	send_key(KEY_A, false);
	EXPECT_EQ(read_ring_counters(*ring).queued, 0u);
}

// A hook installed before ours is called after it: it sees every key only if ours passes it on.
std::atomic<int> next_hook_calls{0};

LRESULT CALLBACK counting_hook(int code, WPARAM wParam, LPARAM lParam)
{
	if (code == HC_ACTION)
		++next_hook_calls;
	return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(SystemHookChain, EveryKeyGoesOnToTheNextHook)
{
	CLACKERY_SKIP_WITHOUT_INTERACTIVE_DESKTOP();
	std::atomic<DWORD> other_thread{0};
	std::atomic<bool> other_ready{false};
	std::thread other([&] {
		MSG message;
		PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
		HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, counting_hook, GetModuleHandleW(nullptr), 0);
		other_thread = GetCurrentThreadId();
		other_ready = hook != nullptr;
		while (GetMessageW(&message, nullptr, 0, 0) > 0) {
		}
		if (hook)
			UnhookWindowsHookEx(hook);
	});
	while (other_thread.load() == 0)
		std::this_thread::yield();
	ASSERT_TRUE(other_ready.load());

	auto ring = std::make_unique<KeyRing>();
	ASSERT_TRUE(start_hook_thread(*ring, true));
	bump_generation(*ring, true);
	next_hook_calls = 0;
	send_key(KEY_A, true);
	send_key(KEY_A, false);
	const std::size_t arrived = wait_for_records(*ring, 2).size();
	const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
	while (next_hook_calls.load() < 2 && std::chrono::steady_clock::now() < deadline)
		std::this_thread::sleep_for(std::chrono::milliseconds(1));
	stop_hook_thread(*ring);
	PostThreadMessageW(other_thread.load(), WM_QUIT, 0, 0);
	other.join();

	EXPECT_EQ(arrived, 2u);
	EXPECT_EQ(next_hook_calls.load(), 2);
}

} // namespace
} // namespace clackery
