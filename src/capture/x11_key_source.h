#pragma once
// The system-wide key source on X11: XInput 2.1 raw key events of every master device, read on
// the hook thread through XCB (Xlib would exit the whole process when the display goes away),
// and the X server's key state for the still-down probe on a connection of its own.

#include "capture/key_backend.h"
#include "capture/key_state.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>

namespace clackery {

// Windows-style codes left in the hook's last error when X11 capture cannot start or stops.
constexpr std::uint32_t ERROR_CODE_ACCESS_DENIED = 5;           // the server refused raw key events
constexpr std::uint32_t ERROR_CODE_X11_NOT_SUPPORTED = 50;      // a Wayland session without an X display
constexpr std::uint32_t ERROR_CODE_OLD_WIN_VERSION = 1150;      // the X server lacks XInput 2.1
constexpr std::uint32_t ERROR_CODE_DEVICE_NOT_CONNECTED = 1167; // no X display at all
constexpr std::uint32_t ERROR_CODE_CONNECTION_REFUSED = 1225;   // the X display could not be opened
constexpr std::uint32_t ERROR_CODE_CONNECTION_ABORTED = 1236;   // the display connection broke while capturing

// Opens the source on the display named by DISPLAY; empty with `error` set (and one line saying
// why) when there is none, it is Wayland alone, or the server lacks XInput 2.1.
std::unique_ptr<KeyBackend> open_x11_key_backend(std::uint32_t &error);

// The same with the two variables given: `display` as DISPLAY, `wayland_display` as
// WAYLAND_DISPLAY (either may be null).
std::unique_ptr<KeyBackend> open_x11_key_backend_for(const char *display, const char *wayland_display,
						     std::uint32_t &error);

// Whether the X server reports a key that produces `vk` as down, on the display named by DISPLAY.
// Unknown without a display or an answer. Callable from any thread.
KeyState x11_key_state(std::uint32_t vk);

// Why the last x11_key_state got no answer: ERROR_CODE_CONNECTION_REFUSED when the display could
// not be reached, ERROR_CODE_CONNECTION_ABORTED when it gave no reply; 0 after an answer.
std::uint32_t x11_key_state_error();

// The same asked on `connection` (null: unknown).
KeyState x11_key_state_on(xcb_connection_t *connection, std::uint32_t vk);

} // namespace clackery
