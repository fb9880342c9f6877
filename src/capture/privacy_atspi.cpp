// Applications send focus changes to the accessibility bus as object:state-changed:focused
// signals, and only those that some listener has registered with the registry. The role comes
// from the application itself, in one time-limited call.

#include "capture/privacy_atspi.h"

#include "capture/os_input.h"

#include <cstring>

namespace clackery {
namespace {

constexpr char kFocusEvent[] = "object:state-changed:focused";
constexpr char kEventInterface[] = "org.a11y.atspi.Event.Object";

std::string address_of_atspi_bus(DBusConnection *session)
{
	DbusMessage call = dbus_method("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
	// The bus's launcher is a session service that may have to start first.
	if (call)
		dbus_message_set_auto_start(call.get(), TRUE);
	return dbus_first_string(dbus_call(session, call.get(), ATSPI_BUS_CALL_LIMIT_MS).get()).value_or("");
}

// Applications consult the registry's list of wanted events before sending any.
void register_focus_event(DBusConnection *bus)
{
	DbusMessage call = dbus_method("org.a11y.atspi.Registry", "/org/a11y/atspi/registry", "org.a11y.atspi.Registry",
				       "RegisterEvent");
	const char *name = kFocusEvent;
	if (!call)
		return;
	// The registry is started on demand on its own bus.
	dbus_message_set_auto_start(call.get(), TRUE);
	if (dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID))
		dbus_call(bus, call.get(), ATSPI_BUS_CALL_LIMIT_MS);
}

bool is_password_role(DBusConnection *bus, const char *sender, const char *path)
{
	DbusMessage call = dbus_method(sender, path, "org.a11y.atspi.Accessible", "GetRole");
	const std::optional<std::uint32_t> role =
	    dbus_first_uint32(dbus_call(bus, call.get(), ATSPI_APP_CALL_LIMIT_MS).get());
	// No answer in time, or a wrong one: nothing says it is a password field.
	return role && *role == ATSPI_ROLE_PASSWORD_TEXT;
}

bool set_focus(AtspiFocus &focus, PrivacyFlags &flags, std::string sender, std::string path, bool password, double t)
{
	focus.sender = std::move(sender);
	focus.path = std::move(path);
	focus.password = password;
	record_focus_change(flags, password, !focus.sender.empty(), t);
	return true;
}

bool handle_state_changed(DBusConnection *bus, DBusMessage *message, AtspiFocus &focus, PrivacyFlags &flags)
{
	const char *kind = nullptr;
	dbus_int32_t gained = 0;
	DBusError error;
	dbus_error_init(&error);
	const bool read = dbus_message_get_args(message, &error, DBUS_TYPE_STRING, &kind, DBUS_TYPE_INT32, &gained,
						DBUS_TYPE_INVALID);
	dbus_error_free(&error);
	const char *sender = dbus_message_get_sender(message);
	const char *path = dbus_message_get_path(message);
	if (!read || !sender || !path || std::strcmp(kind, "focused") != 0)
		return false;
	// The moment we learnt of it, before the application is asked anything.
	const double t = os::clock_ms();
	// Toolkits repeat a gain now and then; it moves nothing.
	if (gained && focus.sender == sender && focus.path == path)
		return false;
	if (gained)
		return set_focus(focus, flags, sender, path, is_password_role(bus, sender, path), t);
	// A loss reported by another object than the focused one says nothing of ours.
	if (focus.sender == sender && focus.path == path)
		return set_focus(focus, flags, {}, {}, false, t);
	return false;
}

// An application that leaves the bus (it ended or crashed) takes its focus with it.
bool handle_owner_changed(DBusMessage *message, AtspiFocus &focus, PrivacyFlags &flags)
{
	const auto change = dbus_owner_change(message);
	if (!change || !change->new_owner.empty() || focus.sender.empty() || focus.sender != change->name)
		return false;
	return set_focus(focus, flags, {}, {}, false, os::clock_ms());
}

} // namespace

DbusConnection connect_atspi(DBusConnection *session)
{
	const std::string address = address_of_atspi_bus(session);
	DbusConnection bus = open_dbus(address, ATSPI_BUS_CALL_LIMIT_MS);
	if (!bus)
		return nullptr;
	const std::string focus_rule =
	    std::string("type='signal',interface='") + kEventInterface + "',member='StateChanged',arg0='focused'";
	if (!dbus_add_match(bus.get(), focus_rule, ATSPI_BUS_CALL_LIMIT_MS) ||
	    !dbus_add_match(bus.get(),
			    "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
			    "member='NameOwnerChanged'",
			    ATSPI_BUS_CALL_LIMIT_MS))
		return nullptr;
	register_focus_event(bus.get());
	return bus;
}

bool handle_atspi_message(DBusConnection *bus, DBusMessage *message, AtspiFocus &focus, PrivacyFlags &flags)
{
	if (dbus_message_is_signal(message, kEventInterface, "StateChanged"))
		return handle_state_changed(bus, message, focus, flags);
	if (dbus_message_is_signal(message, DBUS_INTERFACE_DBUS, "NameOwnerChanged"))
		return handle_owner_changed(message, focus, flags);
	return false;
}

void forget_atspi_focus(AtspiFocus &focus, PrivacyFlags &flags)
{
	if (!focus.sender.empty() || focus.password)
		set_focus(focus, flags, {}, {}, false, os::clock_ms());
}

} // namespace clackery
