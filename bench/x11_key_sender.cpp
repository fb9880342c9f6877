// Sends keys and mouse buttons through XTest for the X11 latency benchmark, one per line read
// from stdin ("<keycode> <1 press | 0 release>", or "b<button> <1 | 0>" for an X button), and
// answers each with the wall-clock time in microseconds at which the server had it (after a round
// trip), so the reader can time what follows.

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

long long wall_clock_us()
{
	return std::chrono::duration_cast<std::chrono::microseconds>(
		   std::chrono::system_clock::now().time_since_epoch())
	    .count();
}

} // namespace

int main()
{
	xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
	if (xcb_connection_has_error(connection)) {
		std::fprintf(stderr, "cannot open the display\n");
		return 1;
	}
	char what[16] = {};
	int down = 0;
	std::puts("ready");
	std::fflush(stdout);
	while (std::scanf("%15s %d", what, &down) == 2) {
		const bool button = what[0] == 'b';
		const auto detail = static_cast<std::uint8_t>(std::atoi(button ? what + 1 : what));
		const std::uint8_t type =
		    button ? (down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE) : (down ? XCB_KEY_PRESS : XCB_KEY_RELEASE);
		const long long sent = wall_clock_us();
		xcb_test_fake_input(connection, type, detail, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
		std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
		std::printf("%lld %lld\n", sent, wall_clock_us());
		std::fflush(stdout);
	}
	xcb_disconnect(connection);
	return 0;
}
