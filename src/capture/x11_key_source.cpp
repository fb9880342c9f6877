// XInput 2.1 raw key events through XCB. Raw events reach every client that selects them on the
// root window, whichever window has the focus, carry the keycode before any keymap, and come
// without auto-repeat. Raw button events join them while the mouse is wanted: buttons 1-3, 8 and
// 9, and 4-7, which are the wheel's notches (the server turns smooth scrolling into them). Motion
// is never selected.

#include "capture/x11_key_source.h"

#include "capture/capture_log.h"
#include "capture/mouse_records.h"
#include "capture/os_input.h"
#include "capture/ring.h"
#include "capture/x11_connection.h"
#include "capture/x11_keymap.h"

#include <xcb/xinput.h>

namespace clackery {
namespace {

bool select_raw_events(xcb_connection_t *connection, bool mouse, std::uint8_t &x_error);

class X11KeySource : public KeyBackend {
public:
	X11KeySource(XcbConnection connection, std::uint8_t xi_opcode)
	    : connection_(std::move(connection)), xi_opcode_(xi_opcode)
	{
	}

	int fd() const override { return xcb_get_file_descriptor(connection_.get()); }

	bool dispatch(KeyRing &ring, std::uint32_t &error) override
	{
		// Drains what the socket holds now; poll wakes the thread again for the rest.
		while (xcb_generic_event_t *event = xcb_poll_for_event(connection_.get())) {
			const XcbPointer<xcb_generic_event_t> owned(event);
			handle(*event, ring);
		}
		if (const int broken = xcb_connection_has_error(connection_.get())) {
			error = broken == XCB_CONN_CLOSED_MEM_INSUFFICIENT ? ERROR_CODE_NOT_ENOUGH_MEMORY
									   : ERROR_CODE_CONNECTION_ABORTED;
			capture_warning("key capture stopped: the X display connection was lost (xcb error %d)",
					broken);
			return false;
		}
		return true;
	}

private:
	void handle(const xcb_generic_event_t &event, KeyRing &ring) const
	{
		if ((event.response_type & 0x7F) != XCB_GE_GENERIC)
			return;
		const auto &generic = reinterpret_cast<const xcb_ge_generic_event_t &>(event);
		if (generic.extension != xi_opcode_)
			return;
		if (generic.event_type == XCB_INPUT_RAW_BUTTON_PRESS ||
		    generic.event_type == XCB_INPUT_RAW_BUTTON_RELEASE) {
			const auto &raw = reinterpret_cast<const xcb_input_raw_button_press_event_t &>(event);
			if (const auto record =
				record_from_x11_button(raw.detail, generic.event_type == XCB_INPUT_RAW_BUTTON_PRESS))
				record_captured_key(ring, *record);
			return;
		}
		if (generic.event_type != XCB_INPUT_RAW_KEY_PRESS && generic.event_type != XCB_INPUT_RAW_KEY_RELEASE)
			return;
		const auto &raw = reinterpret_cast<const xcb_input_raw_key_press_event_t &>(event);
		const std::optional<HookKey> key = hook_key_from_x11(raw.detail);
		// Keys Windows has no scan code for are not keys of ours either.
		if (!key)
			return;
		++ring.hook.keys_seen;
		KeyRecord record;
		record.scancode = key->scancode;
		record.vk = key->vk;
		record.extended = key->extended;
		record.down = generic.event_type == XCB_INPUT_RAW_KEY_PRESS;
		record_captured_key(ring, record);
	}

	bool set_mouse(bool on) override
	{
		std::uint8_t x_error = 0;
		const bool selected = select_raw_events(connection_.get(), on, x_error);
		// Waiting for the answer may have read events into XCB's queue, where poll would not
		// see them: hand them on now.
		if (KeyRing *ring = hook_thread_ring()) {
			while (xcb_generic_event_t *event = xcb_poll_for_queued_event(connection_.get())) {
				const XcbPointer<xcb_generic_event_t> owned(event);
				handle(*event, *ring);
			}
		}
		if (selected)
			return true;
		capture_warning("mouse capture unavailable: the X server refused raw button events (X error %u)",
				static_cast<unsigned>(x_error));
		// Keys alone again, whatever the refusal left selected.
		select_raw_events(connection_.get(), false, x_error);
		return false;
	}

	XcbConnection connection_;
	std::uint8_t xi_opcode_;
};

bool is_empty(const char *text)
{
	return text == nullptr || text[0] == '\0';
}

// XI2 events travel as generic events: a server without that extension answers XI 2.1 queries
// but never delivers them.
bool has_generic_events(xcb_connection_t *connection)
{
	static constexpr char name[] = "Generic Event Extension";
	const XcbPointer<xcb_query_extension_reply_t> reply(
	    xcb_query_extension_reply(connection, xcb_query_extension(connection, sizeof(name) - 1, name), nullptr));
	return reply && reply->present;
}

// XI 2.1 is the first version that delivers raw events to every client, not only to a grabbing one.
bool has_xinput_2_1(xcb_connection_t *connection, std::uint8_t &opcode)
{
	const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_input_id);
	if (extension == nullptr || !extension->present || !has_generic_events(connection))
		return false;
	opcode = extension->major_opcode;
	const XcbPointer<xcb_input_xi_query_version_reply_t> version(
	    xcb_input_xi_query_version_reply(connection, xcb_input_xi_query_version(connection, 2, 1), nullptr));
	return version && (version->major_version > 2 || (version->major_version == 2 && version->minor_version >= 1));
}

// Raw key presses and releases of every master device, on every screen's root window, and with
// `mouse` raw button presses and releases as well. Each call replaces what was selected before.
bool select_raw_events(xcb_connection_t *connection, bool mouse, std::uint8_t &x_error)
{
	struct RawEventMask {
		xcb_input_event_mask_t head;
		std::uint32_t bits;
	};
	std::uint32_t bits = XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE;
	if (mouse)
		bits |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
	const RawEventMask mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, bits};
	for (auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection)); roots.rem > 0; xcb_screen_next(&roots)) {
		const xcb_void_cookie_t cookie =
		    xcb_input_xi_select_events_checked(connection, roots.data->root, 1, &mask.head);
		const XcbPointer<xcb_generic_error_t> failure(xcb_request_check(connection, cookie));
		if (failure) {
			x_error = failure->error_code;
			return false;
		}
	}
	return true;
}

} // namespace

std::unique_ptr<KeyBackend> open_x11_key_backend_for(const char *display, const char *wayland_display,
						     std::uint32_t &error)
{
	if (is_empty(display)) {
		if (!is_empty(wayland_display)) {
			capture_warning("key capture unavailable: Wayland session without an X display "
					"(Wayland gives no program the keys typed into others)");
			error = ERROR_CODE_X11_NOT_SUPPORTED;
		} else {
			capture_warning("key capture unavailable: no X display");
			error = ERROR_CODE_DEVICE_NOT_CONNECTED;
		}
		return nullptr;
	}
	XcbConnection connection = connect_to_display(display);
	if (!connection) {
		capture_warning("key capture unavailable: cannot open X display %s", display);
		error = ERROR_CODE_CONNECTION_REFUSED;
		return nullptr;
	}
	std::uint8_t opcode = 0;
	if (!has_xinput_2_1(connection.get(), opcode)) {
		capture_warning("key capture unavailable: the X server lacks XInput 2.1");
		error = ERROR_CODE_OLD_WIN_VERSION;
		return nullptr;
	}
	std::uint8_t x_error = 0;
	if (!select_raw_events(connection.get(), false, x_error)) {
		capture_warning("key capture unavailable: the X server refused raw key events (X error %u)",
				static_cast<unsigned>(x_error));
		error = ERROR_CODE_ACCESS_DENIED;
		return nullptr;
	}
	// Anything that arrived while setting up predates capture.
	while (xcb_generic_event_t *stale = xcb_poll_for_queued_event(connection.get()))
		std::free(stale);
	if (xcb_connection_has_error(connection.get())) {
		capture_warning("key capture unavailable: the X display connection was lost while opening it");
		error = ERROR_CODE_CONNECTION_ABORTED;
		return nullptr;
	}
	if (!is_empty(wayland_display))
		capture_warning("key capture limited: Wayland session; only keys typed into X11 windows are seen");
	error = 0;
	return std::make_unique<X11KeySource>(std::move(connection), opcode);
}

std::unique_ptr<KeyBackend> open_x11_key_backend(std::uint32_t &error)
{
	return open_x11_key_backend_for(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), error);
}

} // namespace clackery
