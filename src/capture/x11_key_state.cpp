// The still-down probe on X11: the server's key state on a connection of its own, so that the UI
// thread never shares the hook thread's connection.

#include "capture/x11_connection.h"
#include "capture/x11_key_source.h"
#include "capture/x11_keymap.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>

namespace clackery {
namespace {

// A display that has gone away is not asked for again at every sweep.
constexpr std::chrono::seconds RECONNECT_INTERVAL{2};

struct KeyStateProbe {
	std::mutex mutex;
	XcbConnection connection;                           // guarded by mutex
	std::chrono::steady_clock::time_point next_attempt; // guarded by mutex
};

std::atomic<std::uint32_t> probe_error{0};

KeyStateProbe &probe()
{
	static KeyStateProbe instance;
	return instance;
}

// The probe's connection, opened on first use and again after it broke; null without a display.
xcb_connection_t *usable_connection(KeyStateProbe &state)
{
	if (state.connection && !xcb_connection_has_error(state.connection.get()))
		return state.connection.get();
	state.connection.reset();
	const char *display = std::getenv("DISPLAY");
	const auto now = std::chrono::steady_clock::now();
	if (display == nullptr || display[0] == '\0' || now < state.next_attempt)
		return nullptr;
	state.next_attempt = now + RECONNECT_INTERVAL;
	state.connection = connect_to_display(display);
	return state.connection.get();
}

} // namespace

KeyState x11_key_state_on(xcb_connection_t *connection, std::uint32_t vk)
{
	if (connection == nullptr)
		return KeyState::unknown;
	const XcbPointer<xcb_query_keymap_reply_t> reply(
	    xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr));
	if (!reply)
		return KeyState::unknown;
	X11KeyBits bits{};
	std::copy(std::begin(reply->keys), std::end(reply->keys), bits.begin());
	return x11_vk_is_down(bits, vk) ? KeyState::down : KeyState::up;
}

KeyState x11_key_state(std::uint32_t vk)
{
	KeyStateProbe &state = probe();
	std::lock_guard<std::mutex> lock(state.mutex);
	xcb_connection_t *connection = usable_connection(state);
	const KeyState answer = x11_key_state_on(connection, vk);
	std::uint32_t error = 0;
	if (answer == KeyState::unknown)
		error = connection == nullptr ? ERROR_CODE_CONNECTION_REFUSED : ERROR_CODE_CONNECTION_ABORTED;
	probe_error.store(error, std::memory_order_release);
	return answer;
}

std::uint32_t x11_key_state_error()
{
	return probe_error.load(std::memory_order_acquire);
}

} // namespace clackery
