// The mouse's raw input on the hook thread, driven by SendInput: buttons, side buttons and both
// wheels reach the ring as records in order with the keys (the low-level keyboard hook), only
// while the mouse is wanted, and nothing of the mouse is registered while it is not.

#include "capture/hook_thread.h"
#include "capture/key_names.h"
#include "hook_test_support.h"
#include "interactive_desktop.h"

#include <gtest/gtest.h>

#include "common/win32.h"

#include <memory>
#include <string>
#include <vector>

namespace clackery {
namespace {

void send_mouse(DWORD flags, LONG data = 0)
{
	INPUT input{};
	input.type = INPUT_MOUSE;
	input.mi.dwFlags = flags;
	input.mi.mouseData = static_cast<DWORD>(data);
	if (flags & MOUSEEVENTF_MOVE)
		input.mi.dx = 3;
	ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
}

void send_key(WORD vk, WORD scancode, bool down)
{
	INPUT input{};
	input.type = INPUT_KEYBOARD;
	input.ki.wVk = vk;
	input.ki.wScan = scancode;
	input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
	ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
}

// Whether this process has the mouse (usage page 1, usage 2) registered for raw input.
bool mouse_registered()
{
	RAWINPUTDEVICE devices[8];
	UINT count = 8;
	const UINT got = GetRegisteredRawInputDevices(devices, &count, sizeof(RAWINPUTDEVICE));
	if (got == static_cast<UINT>(-1))
		return false;
	for (UINT i = 0; i < got; ++i)
		if (devices[i].usUsagePage == 1 && devices[i].usUsage == 2)
			return true;
	return false;
}

// "key KeyA+", "b0+" (a MouseEvent.button press), "w0,-1" (a notch).
std::string describe(const KeyRecord &record)
{
	if (record.kind == RecordKind::button)
		return "b" + std::to_string(record.vk) + (record.down ? "+" : "-");
	if (record.kind == RecordKind::wheel)
		return "w" + std::to_string(record.dx) + "," + std::to_string(record.dy);
	const char *name = name_key(record.scancode, record.extended, record.vk);
	return std::string("key ") + (name ? name : "?") + (record.down ? "+" : "-");
}

std::vector<std::string> describe(const std::vector<KeyRecord> &records)
{
	std::vector<std::string> out;
	for (const KeyRecord &record : records)
		out.push_back(describe(record));
	return out;
}

// Everything the buttons and wheels can say, between a Ctrl press and its release, then a key
// that closes the sequence: what was lost or doubled would show before it.
void send_everything()
{
	send_key(VK_LCONTROL, 0x1D, true);
	send_mouse(MOUSEEVENTF_LEFTDOWN);
	send_mouse(MOUSEEVENTF_LEFTUP);
	send_mouse(MOUSEEVENTF_MOVE); // movement alone: no record
	send_mouse(MOUSEEVENTF_RIGHTDOWN);
	send_mouse(MOUSEEVENTF_RIGHTUP);
	send_mouse(MOUSEEVENTF_MIDDLEDOWN);
	send_mouse(MOUSEEVENTF_MIDDLEUP);
	send_mouse(MOUSEEVENTF_XDOWN, XBUTTON1);
	send_mouse(MOUSEEVENTF_XUP, XBUTTON1);
	send_mouse(MOUSEEVENTF_XDOWN, XBUTTON2);
	send_mouse(MOUSEEVENTF_XUP, XBUTTON2);
	send_mouse(MOUSEEVENTF_WHEEL, 120);  // a notch forward: up
	send_mouse(MOUSEEVENTF_WHEEL, -240); // two back: down
	for (int i = 0; i < 4; ++i)
		send_mouse(MOUSEEVENTF_WHEEL, 30); // a high-resolution wheel: one notch in four
	send_mouse(MOUSEEVENTF_HWHEEL, 120);       // right
	send_mouse(MOUSEEVENTF_HWHEEL, -120);      // left
	send_key(VK_LCONTROL, 0x1D, false);
	send_key('A', 0x1E, true);
	send_key('A', 0x1E, false);
}

const std::vector<std::string> KEYS_ONLY = {"key ControlLeft+", "key ControlLeft-", "key KeyA+", "key KeyA-"};

class RawMouse : public ::testing::Test {
protected:
	void SetUp() override
	{
		// SendInput reaches raw input only on the desktop that takes the session's input.
		CLACKERY_SKIP_WITHOUT_INTERACTIVE_DESKTOP();
		ASSERT_TRUE(start_hook_thread(*ring, true)) << "error " << hook_last_error(*ring);
		bump_generation(*ring, true);
	}
	void TearDown() override { stop_hook_thread(*ring); }

	std::unique_ptr<KeyRing> ring = std::make_unique<KeyRing>();
};

TEST_F(RawMouse, ButtonsAndBothWheelsArriveInOrderWithTheKeysOnlyWhileWanted)
{
	EXPECT_FALSE(mouse_registered()) << "registered before it was asked for";
	send_everything();
	EXPECT_EQ(describe(wait_for_records(*ring, KEYS_ONLY.size())), KEYS_ONLY);

	set_mouse_capture(*ring, true);
	ASSERT_TRUE(wait_until(mouse_registered));
	send_everything();
	const std::vector<std::string> expected = {
	    "key ControlLeft+",
	    "b0+",
	    "b0-",
	    "b2+",
	    "b2-",
	    "b1+",
	    "b1-",
	    "b3+",
	    "b3-",
	    "b4+",
	    "b4-",
	    "w0,-1",
	    "w0,1",
	    "w0,1",
	    "w0,-1",
	    "w1,0",
	    "w-1,0",
	    "key ControlLeft-",
	    "key KeyA+",
	    "key KeyA-",
	};
	const std::vector<KeyRecord> records = wait_for_records(*ring, expected.size());
	EXPECT_EQ(describe(records), expected);
	// (Windows gives SendInput's raw input no device, which marks it injected; Wine gives it one.)
	for (const KeyRecord &record : records) {
		EXPECT_FALSE(record.synthetic);
		EXPECT_GT(record.t, 0);
	}

	set_mouse_capture(*ring, false);
	ASSERT_TRUE(wait_until([] { return !mouse_registered(); }));
	send_everything();
	EXPECT_EQ(describe(wait_for_records(*ring, KEYS_ONLY.size())), KEYS_ONLY);
}

TEST_F(RawMouse, StoppingTheThreadUnregistersTheMouseAndAStartKeepsTheWish)
{
	set_mouse_capture(*ring, true);
	ASSERT_TRUE(wait_until(mouse_registered));
	stop_hook_thread(*ring);
	EXPECT_FALSE(mouse_registered());

	ASSERT_TRUE(start_hook_thread(*ring, true));
	bump_generation(*ring, true);
	EXPECT_TRUE(mouse_registered()) << "the thread takes the wish up as it starts";
	send_mouse(MOUSEEVENTF_LEFTDOWN);
	send_mouse(MOUSEEVENTF_LEFTUP);
	EXPECT_EQ(describe(wait_for_records(*ring, 2)), (std::vector<std::string>{"b0+", "b0-"}));
	set_mouse_capture(*ring, false);
}

} // namespace
} // namespace clackery
