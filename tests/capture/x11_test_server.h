#pragma once
// A private Xvfb for the X11 capture tests (it picks a free display itself), and keys sent to
// it through XTest as xdotool would send them.

#include "capture/x11_connection.h"

#include "support/announcing_child.h"

#include <xcb/xtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace clackery {

class TestXServer {
public:
	// Starts Xvfb with `extra` arguments and waits until it announces its display.
	bool start(const std::vector<std::string> &extra = {})
	{
		std::vector<std::string> args = {"Xvfb", "-displayfd", "{fd}", "-screen", "0", "64x64x24", "-nolisten",
						 "tcp",
						 // Without it the server resets whenever its last client leaves.
						 "-noreset"};
		args.insert(args.end(), extra.begin(), extra.end());
		const std::string number = server_.start(args, "{fd}", 20000);
		if (number.empty())
			return false;
		display_ = ":" + number;
		return true;
	}

	// Ends the server; SIGKILL stands for a display that vanishes without a word.
	void stop(int signal) { server_.stop(signal); }

	const std::string &display() const { return display_; }

private:
	AnnouncingChild server_;
	std::string display_;
};

// A client that presses and releases keys by keycode, and mouse buttons, through XTest.
class XTestKeyboard {
public:
	bool open(const std::string &display)
	{
		connection_ = connect_to_display(display.c_str());
		return connection_ != nullptr;
	}

	void send(std::uint8_t keycode, bool down)
	{
		xcb_test_fake_input(connection_.get(), down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode,
				    XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
	}

	// Waits until the server has handled everything sent so far.
	void sync()
	{
		xcb_flush(connection_.get());
		const XcbPointer<xcb_get_input_focus_reply_t> reply(
		    xcb_get_input_focus_reply(connection_.get(), xcb_get_input_focus(connection_.get()), nullptr));
	}

	// X11's button numbers: 1-3 and 8-9 buttons, 4-7 wheel notches.
	void button(std::uint8_t number, bool down)
	{
		xcb_test_fake_input(connection_.get(), down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, number,
				    XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
	}

	void tap(std::uint8_t keycode)
	{
		send(keycode, true);
		send(keycode, false);
	}

private:
	XcbConnection connection_;
};

} // namespace clackery
