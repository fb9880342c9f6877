#pragma once
// libdbus for the privacy watcher: private connections of our own (the host has shared ones of
// its own, which we must neither dispatch nor close), opened and called with a time limit on
// every round trip, and never allowed to end the process when their bus goes away.

#include <dbus/dbus.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace clackery {

struct DbusConnectionClose {
	void operator()(DBusConnection *connection) const
	{
		dbus_connection_close(connection);
		dbus_connection_unref(connection);
	}
};
using DbusConnection = std::unique_ptr<DBusConnection, DbusConnectionClose>;

struct DbusMessageUnref {
	void operator()(DBusMessage *message) const { dbus_message_unref(message); }
};
using DbusMessage = std::unique_ptr<DBusMessage, DbusMessageUnref>;

// A bus at `address`, registered (it has its unique name) within `timeout_ms`; null when it
// cannot be reached.
DbusConnection open_dbus(const std::string &address, int timeout_ms);

// The session bus of DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus when it exists; never
// one started on demand. Empty when there is none.
std::string session_bus_address();
// DBUS_SYSTEM_BUS_ADDRESS, else the standard socket when it exists; empty when there is none.
std::string system_bus_address();

// A method call that starts no service on demand.
DbusMessage dbus_method(const char *destination, const char *path, const char *interface, const char *method);

// Sends `call` and waits at most `timeout_ms` for the reply; null on an error reply, a time-out
// or a broken connection.
DbusMessage dbus_call(DBusConnection *connection, DBusMessage *call, int timeout_ms);

// Asks the bus to route the signals that `rule` matches to us.
bool dbus_add_match(DBusConnection *connection, const std::string &rule, int timeout_ms);

// The first argument of `message` when it has that type.
std::optional<bool> dbus_first_bool(DBusMessage *message);
std::optional<std::string> dbus_first_string(DBusMessage *message);
std::optional<std::uint32_t> dbus_first_uint32(DBusMessage *message);
// The bus's NameOwnerChanged signal: a name and its new owner ("" when the name was let go).
struct DbusOwnerChange {
	std::string name;
	std::string new_owner;
};
std::optional<DbusOwnerChange> dbus_owner_change(DBusMessage *message);
// The boolean inside a first argument of type variant (a property's value).
std::optional<bool> dbus_first_variant_bool(DBusMessage *message);

} // namespace clackery
