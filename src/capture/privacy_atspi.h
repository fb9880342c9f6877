#pragma once
// The accessibility bus (AT-SPI) as the privacy watcher reads it: which object has the focus,
// and whether its role is "password text". Watcher thread only.

#include "capture/privacy_dbus.h"
#include "capture/privacy_watch.h"

#include <cstdint>
#include <string>

namespace clackery {

// ATSPI_ROLE_PASSWORD_TEXT of the AT-SPI role enumeration, which GetRole answers.
constexpr std::uint32_t ATSPI_ROLE_PASSWORD_TEXT = 40;

// Limits of every round trip: an application that hangs costs the watcher this much, never
// the tick. The bus's own address may need its launcher started first.
constexpr int ATSPI_APP_CALL_LIMIT_MS = 250;
constexpr int ATSPI_BUS_CALL_LIMIT_MS = 3000;

struct AtspiFocus {
	std::string sender; // the focused object's application (unique bus name), empty when none
	std::string path;
	bool password = false;
};

// Asks the session bus for the accessibility bus, connects, and registers for focus events.
// Null when the desktop has no accessibility bus.
DbusConnection connect_atspi(DBusConnection *session);

// Handles one message of the accessibility bus; true when the focus or its role changed, with
// the flags updated.
bool handle_atspi_message(DBusConnection *bus, DBusMessage *message, AtspiFocus &focus, PrivacyFlags &flags);

// The accessibility bus went away: nothing is focused as far as we can tell.
void forget_atspi_focus(AtspiFocus &focus, PrivacyFlags &flags);

} // namespace clackery
