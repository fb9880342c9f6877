// The X11 key source on a private Xvfb: keys sent through XTest reach the ring named as the
// Windows hook names them, the server's key state answers the still-down probe, stop ends the
// thread at once, and a display that goes away ends the thread with an error, never the process.

#include "capture/capture_health.h"
#include "capture/capture_log.h"
#include "capture/hook_thread.h"
#include "capture/key_names.h"
#include "capture/os_input.h"
#include "capture/x11_connection.h"
#include "capture/x11_key_source.h"
#include "hook_test_support.h"
#include "x11_test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace clackery {
namespace {

std::mutex lines_mutex;
std::vector<std::string> logged_lines;

void collect_line(const char *line)
{
	std::lock_guard<std::mutex> lock(lines_mutex);
	logged_lines.emplace_back(line);
}

std::vector<std::string> take_lines()
{
	std::lock_guard<std::mutex> lock(lines_mutex);
	std::vector<std::string> lines;
	lines.swap(logged_lines);
	return lines;
}

// The display a factory of the tests opens; the platform's own reads DISPLAY.
std::string factory_display;

std::unique_ptr<KeyBackend> open_factory_display(std::uint32_t &error)
{
	return open_x11_key_backend_for(factory_display.c_str(), nullptr, error);
}

class X11Source : public ::testing::Test {
protected:
	static void SetUpTestSuite()
	{
		server = new TestXServer();
		if (server->start())
			setenv("DISPLAY", server->display().c_str(), 1);
	}
	static void TearDownTestSuite()
	{
		delete server;
		server = nullptr;
	}

	void SetUp() override
	{
		ASSERT_FALSE(server->display().empty()) << "Xvfb did not start";
		ASSERT_TRUE(keyboard.open(server->display()));
		set_capture_log_sink(collect_line);
		take_lines();
	}
	void TearDown() override
	{
		stop_hook_thread(*ring);
		set_key_backend_factory(nullptr);
		set_capture_log_sink(nullptr);
	}

	static TestXServer *server;
	std::unique_ptr<KeyRing> ring = std::make_unique<KeyRing>();
	XTestKeyboard keyboard;
};

TestXServer *X11Source::server = nullptr;

struct Typed {
	std::uint8_t keycode;
	bool down;
	const char *name;
	std::uint32_t vk;
};

TEST_F(X11Source, KeysTypedThroughXTestReachTheRingNamedAsOnWindows)
{
	ASSERT_TRUE(start_hook_thread(*ring, true)) << "error " << hook_last_error(*ring);
	EXPECT_EQ(hook_last_error(*ring), 0u);
	const std::uint64_t word = bump_generation(*ring, true);

	const std::vector<Typed> typed = {
	    {50, true, "ShiftLeft", 0xA0},
	    {38, true, "KeyA", 0x41},
	    {38, false, "KeyA", 0x41},
	    {50, false, "ShiftLeft", 0xA0},
	    {105, true, "ControlRight", 0xA3},
	    {105, false, "ControlRight", 0xA3},
	    {104, true, "NumpadEnter", 0x0D},
	    {104, false, "NumpadEnter", 0x0D},
	    {111, true, "ArrowUp", 0x26},
	    {111, false, "ArrowUp", 0x26},
	    {67, true, "F1", 0x70},
	    {67, false, "F1", 0x70},
	    {132, true, "IntlYen", 0xDC},
	    {132, false, "IntlYen", 0xDC},
	    {97, true, "IntlRo", 0xE2},
	    {97, false, "IntlRo", 0xE2},
	    {100, true, "Convert", 0x1C},
	    {100, false, "Convert", 0x1C},
	    {102, true, "NonConvert", 0x1D},
	    {102, false, "NonConvert", 0x1D},
	    {101, true, "KanaMode", 0x15},
	    {101, false, "KanaMode", 0x15},
	    {77, true, "NumLock", 0x90},
	    {77, false, "NumLock", 0x90},
	    {127, true, "Pause", 0x13},
	    {127, false, "Pause", 0x13},
	};
	const double before = os::clock_ms();
	for (const Typed &key : typed) {
		keyboard.send(key.keycode, key.down);
		// A keycode with no Windows key in between is not a key of ours.
		keyboard.tap(92);
	}
	// A last key after them all: whatever was doubled would come before it.
	keyboard.tap(58);
	keyboard.sync();

	std::vector<KeyRecord> records = wait_for_records(*ring, typed.size() + 2);
	ASSERT_EQ(records.size(), typed.size() + 2);
	for (std::size_t i = typed.size(); i < records.size(); ++i)
		EXPECT_STREQ(name_key(records[i].scancode, records[i].extended, records[i].vk), "KeyM");
	KeyRecord extra;
	EXPECT_FALSE(pop_record(*ring, extra));
	for (std::size_t i = 0; i < typed.size(); ++i) {
		SCOPED_TRACE(typed[i].name);
		const KeyRecord &record = records[i];
		EXPECT_STREQ(name_key(record.scancode, record.extended, record.vk), typed[i].name);
		EXPECT_EQ(record.vk, typed[i].vk);
		EXPECT_EQ(record.down, typed[i].down);
		EXPECT_FALSE(record.synthetic);
		EXPECT_EQ(record.generation, word >> 1);
		EXPECT_GE(record.t, before - 1);
		EXPECT_LE(record.t, os::clock_ms() + 1);
	}
	EXPECT_TRUE(take_lines().empty());
}

struct Sent {
	std::uint8_t code; // keycode, or X11 button number when `button`
	bool button;
	bool down;
	RecordKind kind;
	std::uint32_t vk; // key's vk, or the MouseEvent.button number
	int dx;
	int dy;
};

// Each transition and its record, X11 button numbers read independently of the code: 1 left,
// 2 middle, 3 right, 4/5 wheel up/down, 6/7 wheel left/right, 8 back, 9 forward.
const std::vector<Sent> MIXED = {
    {37, false, true, RecordKind::key, 0xA2, 0, 0}, // ControlLeft down
    {1, true, true, RecordKind::button, 0, 0, 0},   // left
    {1, true, false, RecordKind::button, 0, 0, 0},
    {4, true, true, RecordKind::wheel, 0, 0, -1}, // up
    {4, true, false, RecordKind::wheel, 0, 0, 0}, // a notch's release: nothing
    {5, true, true, RecordKind::wheel, 0, 0, 1},  // down
    {5, true, false, RecordKind::wheel, 0, 0, 0},
    {37, false, false, RecordKind::key, 0xA2, 0, 0},
    {2, true, true, RecordKind::button, 1, 0, 0}, // middle
    {3, true, true, RecordKind::button, 2, 0, 0}, // right
    {3, true, false, RecordKind::button, 2, 0, 0},
    {2, true, false, RecordKind::button, 1, 0, 0},
    {6, true, true, RecordKind::wheel, 0, -1, 0}, // left
    {6, true, false, RecordKind::wheel, 0, 0, 0},
    {7, true, true, RecordKind::wheel, 0, 1, 0}, // right
    {7, true, false, RecordKind::wheel, 0, 0, 0},
    {8, true, true, RecordKind::button, 3, 0, 0}, // back
    {8, true, false, RecordKind::button, 3, 0, 0},
    {9, true, true, RecordKind::button, 4, 0, 0}, // forward
    {9, true, false, RecordKind::button, 4, 0, 0},
    {10, true, true, RecordKind::button, 0, 0, 0}, // no meaning of ours: nothing
    {10, true, false, RecordKind::button, 0, 0, 0},
};

bool makes_record(const Sent &sent)
{
	return !sent.button || (sent.kind == RecordKind::button ? sent.code <= 9 : sent.down);
}

void send_all(XTestKeyboard &keyboard, const std::vector<Sent> &sent)
{
	for (const Sent &s : sent) {
		if (s.button)
			keyboard.button(s.code, s.down);
		else
			keyboard.send(s.code, s.down);
	}
	// A last key after them all: whatever was doubled or late would come before it.
	keyboard.tap(58);
	keyboard.sync();
}

TEST_F(X11Source, ButtonsAndNotchesTravelInOrderWithTheKeysWhileTheMouseIsWanted)
{
	ASSERT_TRUE(start_hook_thread(*ring, true)) << "error " << hook_last_error(*ring);
	bump_generation(*ring, true);
	// Off (the default): the same input gives the keys alone.
	send_all(keyboard, MIXED);
	// The closing key comes last: a button among the first four would push it out.
	std::vector<KeyRecord> records = wait_for_records(*ring, 4);
	ASSERT_EQ(records.size(), 4u);
	for (const KeyRecord &record : records)
		EXPECT_EQ(record.kind, RecordKind::key);

	EXPECT_FALSE(mouse_capture_active(*ring));
	set_mouse_capture(*ring, true);
	// The wish takes effect on the hook thread shortly after.
	ASSERT_TRUE(wait_until([this] { return mouse_capture_active(*ring); }));
	std::vector<Sent> expected;
	for (const Sent &s : MIXED)
		if (makes_record(s))
			expected.push_back(s);
	send_all(keyboard, MIXED);
	records = wait_for_records(*ring, expected.size() + 2);
	ASSERT_EQ(records.size(), expected.size() + 2);
	EXPECT_EQ(records.back().kind, RecordKind::key);
	for (std::size_t i = 0; i < expected.size(); ++i) {
		SCOPED_TRACE(i);
		EXPECT_EQ(records[i].kind, expected[i].kind);
		EXPECT_EQ(records[i].vk, expected[i].vk);
		EXPECT_EQ(records[i].dx, expected[i].dx);
		EXPECT_EQ(records[i].dy, expected[i].dy);
		if (expected[i].kind != RecordKind::wheel) {
			EXPECT_EQ(records[i].down, expected[i].down);
		}
		EXPECT_FALSE(records[i].synthetic);
		EXPECT_GT(records[i].t, 0);
	}

	set_mouse_capture(*ring, false);
	ASSERT_TRUE(wait_until([this] { return !mouse_capture_active(*ring); }));
	send_all(keyboard, MIXED);
	records = wait_for_records(*ring, 4);
	ASSERT_EQ(records.size(), 4u);
	for (const KeyRecord &record : records)
		EXPECT_EQ(record.kind, RecordKind::key) << "buttons after the mouse was switched off";
	EXPECT_TRUE(take_lines().empty());
}

TEST_F(X11Source, TheServersKeyStateAnswersTheProbe)
{
	keyboard.send(62, true);  // Shift_R
	keyboard.send(104, true); // KP_Enter
	keyboard.sync();
	EXPECT_EQ(key_state(0xA1), KeyState::down);
	EXPECT_EQ(key_state(0x10), KeyState::down);
	EXPECT_EQ(key_state(0xA0), KeyState::up);
	EXPECT_EQ(key_state(0x0D), KeyState::down);
	EXPECT_EQ(key_state(0x41), KeyState::up);
	EXPECT_EQ(x11_key_state_error(), 0u);

	keyboard.send(62, false);
	keyboard.send(104, false);
	keyboard.sync();
	EXPECT_EQ(key_state(0xA1), KeyState::up);
	EXPECT_EQ(key_state(0x10), KeyState::up);
	EXPECT_EQ(key_state(0x0D), KeyState::up);
}

TEST_F(X11Source, AProbeWhoseServerWentAwaySaysUnknown)
{
	TestXServer doomed;
	ASSERT_TRUE(doomed.start());
	XTestKeyboard doomed_keyboard;
	ASSERT_TRUE(doomed_keyboard.open(doomed.display()));
	XcbConnection connection = connect_to_display(doomed.display().c_str());
	ASSERT_TRUE(connection);
	doomed_keyboard.send(38, true); // KeyA
	doomed_keyboard.sync();
	EXPECT_EQ(x11_key_state_on(connection.get(), 0x41), KeyState::down);
	EXPECT_EQ(x11_key_state_on(connection.get(), 0x42), KeyState::up);

	doomed.stop(SIGKILL);
	EXPECT_EQ(x11_key_state_on(connection.get(), 0x41), KeyState::unknown);
	EXPECT_EQ(x11_key_state_on(connection.get(), 0x42), KeyState::unknown);
	EXPECT_EQ(x11_key_state_on(nullptr, 0x41), KeyState::unknown);
}

TEST_F(X11Source, StopEndsTheThreadWaitingOnTheDisplayAtOnce)
{
	ASSERT_TRUE(start_hook_thread(*ring, true));
	const auto start = std::chrono::steady_clock::now();
	stop_hook_thread(*ring);
	const auto took = std::chrono::steady_clock::now() - start;
	EXPECT_LT(took, std::chrono::seconds(1));
	EXPECT_FALSE(ring->hook.thread.joinable());
	EXPECT_FALSE(hook_running(*ring));
	EXPECT_EQ(hook_last_error(*ring), 0u);
}

TEST_F(X11Source, ADisplayThatGoesAwayEndsTheThreadWithItsError)
{
	TestXServer doomed;
	ASSERT_TRUE(doomed.start());
	factory_display = doomed.display();
	set_key_backend_factory(open_factory_display);
	ASSERT_TRUE(start_hook_thread(*ring, true));
	bump_generation(*ring, true);

	doomed.stop(SIGKILL);
	ASSERT_TRUE(wait_until([this] { return ring->hook.thread_id.load() == 0; }));
	EXPECT_FALSE(hook_running(*ring));
	EXPECT_EQ(hook_last_error(*ring), ERROR_CODE_CONNECTION_ABORTED);
	const CaptureHealth health = read_capture_health(*ring, 0);
	EXPECT_EQ(health.status, CaptureStatus::failed);
	EXPECT_EQ(health.error, ERROR_CODE_CONNECTION_ABORTED);
	EXPECT_FALSE(post_test_key(*ring, test_key(0x1E, 0x41, true)));
	const std::vector<std::string> lines = take_lines();
	ASSERT_EQ(lines.size(), 1u);
	EXPECT_EQ(lines[0], "key capture stopped: the X display connection was lost (xcb error 1)");
	stop_hook_thread(*ring);
	EXPECT_FALSE(ring->hook.thread.joinable());
}

TEST_F(X11Source, WithoutADisplayTheReasonIsSaid)
{
	const struct {
		const char *display;
		const char *wayland;
		std::uint32_t error;
		const char *line;
	} cases[] = {
	    {nullptr, nullptr, ERROR_CODE_DEVICE_NOT_CONNECTED, "key capture unavailable: no X display"},
	    {"", "", ERROR_CODE_DEVICE_NOT_CONNECTED, "key capture unavailable: no X display"},
	    {nullptr, "wayland-0", ERROR_CODE_X11_NOT_SUPPORTED,
	     "key capture unavailable: Wayland session without an X display (Wayland gives no program the keys "
	     "typed into others)"},
	    {":4095", nullptr, ERROR_CODE_CONNECTION_REFUSED, "key capture unavailable: cannot open X display :4095"},
	};
	for (const auto &c : cases) {
		std::uint32_t error = 0;
		EXPECT_EQ(open_x11_key_backend_for(c.display, c.wayland, error), nullptr);
		EXPECT_EQ(error, c.error);
		EXPECT_EQ(take_lines(), std::vector<std::string>{c.line});
	}
}

TEST_F(X11Source, AnXWaylandDisplayWorksButSaysWhatItMisses)
{
	std::uint32_t error = 1;
	EXPECT_NE(open_x11_key_backend_for(server->display().c_str(), "wayland-0", error), nullptr);
	EXPECT_EQ(error, 0u);
	EXPECT_EQ(take_lines(), std::vector<std::string>{
				    "key capture limited: Wayland session; only keys typed into X11 windows are seen"});
}

TEST_F(X11Source, AServerWithoutXInput2EventsIsRefused)
{
	TestXServer old_server;
	ASSERT_TRUE(old_server.start({"-extension", "Generic Event Extension"}));
	std::uint32_t error = 0;
	EXPECT_EQ(open_x11_key_backend_for(old_server.display().c_str(), nullptr, error), nullptr);
	EXPECT_EQ(error, ERROR_CODE_OLD_WIN_VERSION);
	EXPECT_EQ(take_lines(), std::vector<std::string>{"key capture unavailable: the X server lacks XInput 2.1"});
}

} // namespace
} // namespace clackery
