#include "capture/privacy_locker.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace clackery {
namespace {

struct SessionLocker {
	const char *name; // bus name and interface alike
	const char *path;
	bool LockerState::*active;
	std::string LockerState::*owner;
};

// KDE and others serve the freedesktop name at /ScreenSaver too; the signal is the same.
const SessionLocker kSessionLockers[] = {
    {"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", &LockerState::freedesktop,
     &LockerState::freedesktop_owner},
    {"org.freedesktop.ScreenSaver", "/ScreenSaver", &LockerState::freedesktop, &LockerState::freedesktop_owner},
    {"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", &LockerState::gnome, &LockerState::gnome_owner},
};

constexpr char kLogind[] = "org.freedesktop.login1";
constexpr char kLogindSession[] = "org.freedesktop.login1.Session";

std::string name_owner(DBusConnection *bus, const char *name)
{
	DbusMessage call = dbus_method(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "GetNameOwner");
	if (!call || !dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID))
		return {};
	return dbus_first_string(dbus_call(bus, call.get(), LOCKER_CALL_LIMIT_MS).get()).value_or("");
}

// The locker's answer; none when it has no such object or does not answer in time.
std::optional<bool> ask_active(DBusConnection *bus, const SessionLocker &locker)
{
	DbusMessage call = dbus_method(locker.name, locker.path, locker.name, "GetActive");
	return dbus_first_bool(dbus_call(bus, call.get(), LOCKER_CALL_LIMIT_MS).get());
}

void ask_session_lockers(DBusConnection *session, LockerState &state, bool only_locked)
{
	const char *asked = nullptr;
	for (const SessionLocker &locker : kSessionLockers) {
		// The first path that answers speaks for the name.
		if (asked && std::strcmp(asked, locker.name) == 0)
			continue;
		if (only_locked && !(state.*locker.active))
			continue;
		if (state.*locker.owner == "")
			state.*locker.owner = name_owner(session, locker.name);
		if (state.*locker.owner == "") {
			state.*locker.active = false;
			continue;
		}
		if (const std::optional<bool> active = ask_active(session, locker)) {
			state.*locker.active = *active;
			asked = locker.name;
		}
	}
}

std::optional<bool> ask_locked_hint(DBusConnection *system, const std::string &session_path)
{
	DbusMessage call = dbus_method(kLogind, session_path.c_str(), DBUS_INTERFACE_PROPERTIES, "Get");
	const char *interface = kLogindSession;
	const char *property = "LockedHint";
	if (!call || !dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
					       DBUS_TYPE_INVALID))
		return std::nullopt;
	return dbus_first_variant_bool(dbus_call(system, call.get(), LOCKER_CALL_LIMIT_MS).get());
}

std::string our_logind_session(DBusConnection *system)
{
	DbusMessage call;
	if (const char *id = std::getenv("XDG_SESSION_ID"); id && *id) {
		call = dbus_method(kLogind, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "GetSession");
		if (!call || !dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &id, DBUS_TYPE_INVALID))
			return {};
	} else {
		call = dbus_method(kLogind, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
				   "GetSessionByPID");
		const dbus_uint32_t pid = static_cast<dbus_uint32_t>(getpid());
		if (!call || !dbus_message_append_args(call.get(), DBUS_TYPE_UINT32, &pid, DBUS_TYPE_INVALID))
			return {};
	}
	DbusMessage reply = dbus_call(system, call.get(), LOCKER_CALL_LIMIT_MS);
	DBusMessageIter args;
	if (!reply || !dbus_message_iter_init(reply.get(), &args) ||
	    dbus_message_iter_get_arg_type(&args) != DBUS_TYPE_OBJECT_PATH)
		return {};
	const char *path = nullptr;
	dbus_message_iter_get_basic(&args, &path);
	return path ? path : "";
}

bool set_if_changed(bool &field, bool value)
{
	const bool changed = field != value;
	field = value;
	return changed;
}

bool handle_active_changed(DBusMessage *message, LockerState &state)
{
	for (const SessionLocker &locker : kSessionLockers) {
		if (!dbus_message_is_signal(message, locker.name, "ActiveChanged"))
			continue;
		const char *sender = dbus_message_get_sender(message);
		const std::optional<bool> active = dbus_first_bool(message);
		// Only the locker itself speaks for it; an owner not yet known is learnt from its signal.
		if (!active || !sender || (!(state.*locker.owner).empty() && state.*locker.owner != sender))
			return false;
		state.*locker.owner = sender;
		return set_if_changed(state.*locker.active, *active);
	}
	return false;
}

// A locker that leaves the bus has stopped locking (or crashed, which on X11 unlocks too).
bool handle_owner_changed(DBusMessage *message, LockerState &state)
{
	const auto change = dbus_owner_change(message);
	if (!change)
		return false;
	for (const SessionLocker &locker : kSessionLockers) {
		if (change->name != locker.name)
			continue;
		state.*locker.owner = change->new_owner;
		return set_if_changed(state.*locker.active, false);
	}
	return false;
}

// PropertiesChanged (s interface, a{sv} changed, as invalidated) of our session.
bool handle_logind_changed(DBusMessage *message, LockerState &state)
{
	if (state.session_path.empty() || !dbus_message_has_path(message, state.session_path.c_str()))
		return false;
	DBusMessageIter args;
	if (!dbus_message_iter_init(message, &args) || !dbus_message_iter_next(&args) ||
	    dbus_message_iter_get_arg_type(&args) != DBUS_TYPE_ARRAY)
		return false;
	DBusMessageIter entries;
	dbus_message_iter_recurse(&args, &entries);
	for (; dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY; dbus_message_iter_next(&entries)) {
		DBusMessageIter entry;
		DBusMessageIter value;
		const char *key = nullptr;
		dbus_message_iter_recurse(&entries, &entry);
		if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING)
			continue;
		dbus_message_iter_get_basic(&entry, &key);
		if (std::strcmp(key, "LockedHint") != 0 || !dbus_message_iter_next(&entry))
			continue;
		dbus_message_iter_recurse(&entry, &value);
		if (dbus_message_iter_get_arg_type(&value) != DBUS_TYPE_BOOLEAN)
			continue;
		dbus_bool_t locked = FALSE;
		dbus_message_iter_get_basic(&value, &locked);
		return set_if_changed(state.logind, locked != 0);
	}
	return false;
}

} // namespace

void watch_session_lockers(DBusConnection *session, LockerState &state)
{
	for (const char *name : {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"}) {
		const std::string quoted = std::string("'") + name + "'";
		dbus_add_match(session, "type='signal',interface=" + quoted + ",member='ActiveChanged'",
			       LOCKER_CALL_LIMIT_MS);
		dbus_add_match(session,
			       "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
			       "member='NameOwnerChanged',arg0=" +
				   quoted,
			       LOCKER_CALL_LIMIT_MS);
	}
	ask_session_lockers(session, state, false);
}

void watch_logind(DBusConnection *system, LockerState &state)
{
	state.session_path = our_logind_session(system);
	if (state.session_path.empty())
		return;
	dbus_add_match(system,
		       "type='signal',sender='org.freedesktop.login1',interface='org.freedesktop.DBus.Properties',"
		       "member='PropertiesChanged',path='" +
			   state.session_path + "'",
		       LOCKER_CALL_LIMIT_MS);
	state.logind = ask_locked_hint(system, state.session_path).value_or(false);
}

void recheck_lockers(DBusConnection *session, DBusConnection *system, LockerState &state)
{
	if (session)
		ask_session_lockers(session, state, true);
	if (system && state.logind && !state.session_path.empty()) {
		if (const std::optional<bool> locked = ask_locked_hint(system, state.session_path))
			state.logind = *locked;
	}
}

bool handle_locker_message(DBusMessage *message, LockerState &state)
{
	if (dbus_message_is_signal(message, DBUS_INTERFACE_DBUS, "NameOwnerChanged"))
		return handle_owner_changed(message, state);
	if (dbus_message_is_signal(message, DBUS_INTERFACE_PROPERTIES, "PropertiesChanged"))
		return handle_logind_changed(message, state);
	return handle_active_changed(message, state);
}

} // namespace clackery
