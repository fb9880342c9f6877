#pragma once
// A private Xvfb for the X11 capture tests (it picks a free display itself), and keys sent to
// it through XTest as xdotool would send them.

#include "capture/x11_connection.h"

#include <xcb/xtest.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace clackery {

class TestXServer {
public:
	TestXServer() = default;
	TestXServer(const TestXServer &) = delete;
	TestXServer &operator=(const TestXServer &) = delete;
	~TestXServer() { stop(SIGTERM); }

	// Starts Xvfb with `extra` arguments and waits until it announces its display.
	bool start(const std::vector<std::string> &extra = {})
	{
		int fds[2];
		if (pipe(fds) != 0)
			return false;
		pid_ = fork();
		if (pid_ == 0) {
			close(fds[0]);
			const int null = open("/dev/null", O_WRONLY);
			dup2(null, 1);
			dup2(null, 2);
			const std::string fd = std::to_string(fds[1]);
			std::vector<std::string> args = {
			    "Xvfb", "-displayfd", fd, "-screen", "0", "64x64x24", "-nolisten", "tcp",
			    // Without it the server resets whenever its last client leaves.
			    "-noreset"};
			args.insert(args.end(), extra.begin(), extra.end());
			std::vector<char *> argv;
			for (std::string &arg : args)
				argv.push_back(arg.data());
			argv.push_back(nullptr);
			execvp("Xvfb", argv.data());
			_exit(127);
		}
		close(fds[1]);
		std::string text;
		char buffer[32];
		pollfd ready{fds[0], POLLIN, 0};
		while (text.find('\n') == std::string::npos && pid_ > 0 && poll(&ready, 1, 20000) > 0) {
			const ssize_t got = read(fds[0], buffer, sizeof(buffer));
			if (got <= 0)
				break;
			text.append(buffer, static_cast<std::size_t>(got));
		}
		close(fds[0]);
		if (text.find('\n') == std::string::npos) {
			stop(SIGKILL);
			return false;
		}
		display_ = ":" + text.substr(0, text.find('\n'));
		return true;
	}

	// Ends the server; SIGKILL stands for a display that vanishes without a word.
	void stop(int signal)
	{
		if (pid_ <= 0)
			return;
		kill(pid_, signal);
		int status = 0;
		waitpid(pid_, &status, 0);
		pid_ = -1;
	}

	const std::string &display() const { return display_; }

private:
	pid_t pid_ = -1;
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
