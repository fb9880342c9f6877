#include "capture/privacy_dbus.h"

#include <cstdlib>
#include <sys/stat.h>

namespace clackery {
namespace {

struct ScopedError {
	ScopedError() { dbus_error_init(&error); }
	~ScopedError() { dbus_error_free(&error); }
	DBusError error;
};

bool is_socket(const std::string &path)
{
	struct stat info {};
	return stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

template <int Type, typename T> std::optional<T> first_basic(DBusMessage *message)
{
	DBusMessageIter args;
	if (!message || !dbus_message_iter_init(message, &args) || dbus_message_iter_get_arg_type(&args) != Type)
		return std::nullopt;
	T value{};
	dbus_message_iter_get_basic(&args, &value);
	return value;
}

} // namespace

DbusConnection open_dbus(const std::string &address, int timeout_ms)
{
	if (address.empty())
		return nullptr;
	ScopedError error;
	DbusConnection connection(dbus_connection_open_private(address.c_str(), &error.error));
	if (!connection)
		return nullptr;
	// libdbus's default for bus connections is to exit the whole process when the bus goes.
	dbus_connection_set_exit_on_disconnect(connection.get(), FALSE);
	// dbus_bus_register waits up to 25 s; our own Hello keeps the limit.
	DbusMessage hello(
	    dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello"));
	const std::optional<std::string> name =
	    hello ? dbus_first_string(dbus_call(connection.get(), hello.get(), timeout_ms).get()) : std::nullopt;
	if (!name || !dbus_bus_set_unique_name(connection.get(), name->c_str()))
		return nullptr;
	return connection;
}

std::string session_bus_address()
{
	if (const char *address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
		return address;
	if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
		const std::string path = std::string(runtime) + "/bus";
		if (is_socket(path))
			return "unix:path=" + path;
	}
	return {};
}

std::string system_bus_address()
{
	if (const char *address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS"); address && *address)
		return address;
	const std::string path = "/var/run/dbus/system_bus_socket";
	return is_socket(path) ? "unix:path=" + path : std::string();
}

DbusMessage dbus_method(const char *destination, const char *path, const char *interface, const char *method)
{
	DbusMessage call(dbus_message_new_method_call(destination, path, interface, method));
	if (call)
		dbus_message_set_auto_start(call.get(), FALSE);
	return call;
}

DbusMessage dbus_call(DBusConnection *connection, DBusMessage *call, int timeout_ms)
{
	if (!connection || !call)
		return nullptr;
	ScopedError error;
	return DbusMessage(dbus_connection_send_with_reply_and_block(connection, call, timeout_ms, &error.error));
}

bool dbus_add_match(DBusConnection *connection, const std::string &rule, int timeout_ms)
{
	DbusMessage call = dbus_method(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "AddMatch");
	const char *text = rule.c_str();
	if (!call || !dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID))
		return false;
	return dbus_call(connection, call.get(), timeout_ms) != nullptr;
}

std::optional<bool> dbus_first_bool(DBusMessage *message)
{
	const std::optional<dbus_bool_t> value = first_basic<DBUS_TYPE_BOOLEAN, dbus_bool_t>(message);
	return value ? std::optional<bool>(*value != 0) : std::nullopt;
}

std::optional<std::string> dbus_first_string(DBusMessage *message)
{
	const std::optional<const char *> value = first_basic<DBUS_TYPE_STRING, const char *>(message);
	return value && *value ? std::optional<std::string>(*value) : std::nullopt;
}

std::optional<std::uint32_t> dbus_first_uint32(DBusMessage *message)
{
	return first_basic<DBUS_TYPE_UINT32, dbus_uint32_t>(message);
}

std::optional<bool> dbus_first_variant_bool(DBusMessage *message)
{
	DBusMessageIter args;
	DBusMessageIter inner;
	if (!message || !dbus_message_iter_init(message, &args) ||
	    dbus_message_iter_get_arg_type(&args) != DBUS_TYPE_VARIANT)
		return std::nullopt;
	dbus_message_iter_recurse(&args, &inner);
	if (dbus_message_iter_get_arg_type(&inner) != DBUS_TYPE_BOOLEAN)
		return std::nullopt;
	dbus_bool_t value = FALSE;
	dbus_message_iter_get_basic(&inner, &value);
	return value != 0;
}

std::optional<DbusOwnerChange> dbus_owner_change(DBusMessage *message)
{
	const char *name = nullptr;
	const char *old_owner = nullptr;
	const char *new_owner = nullptr;
	DBusError error;
	dbus_error_init(&error);
	const bool read = dbus_message_get_args(message, &error, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &old_owner,
						DBUS_TYPE_STRING, &new_owner, DBUS_TYPE_INVALID);
	dbus_error_free(&error);
	if (!read)
		return std::nullopt;
	return DbusOwnerChange{name, new_owner};
}

} // namespace clackery
