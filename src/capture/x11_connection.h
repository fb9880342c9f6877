#pragma once
// Owning handles for XCB: a connection (disconnected when dropped, also after an error) and the
// replies, events and errors that XCB hands over for us to free.

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace clackery {

struct XcbDisconnect {
	void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

struct XcbFree {
	void operator()(void *pointer) const { std::free(pointer); }
};
template <typename T> using XcbPointer = std::unique_ptr<T, XcbFree>;

// A working connection to `display`, or null when it cannot be opened.
inline XcbConnection connect_to_display(const char *display)
{
	int screen = 0;
	XcbConnection connection(xcb_connect(display, &screen));
	if (xcb_connection_has_error(connection.get()))
		return nullptr;
	return connection;
}

} // namespace clackery
