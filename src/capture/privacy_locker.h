#pragma once
// Screen lockers as the privacy watcher reads them: org.freedesktop.ScreenSaver and
// org.gnome.ScreenSaver on the session bus, and logind's LockedHint of our session on the
// system bus. The screen counts as locked while any of them says so. Watcher thread only.

#include "capture/privacy_dbus.h"

#include <string>

namespace clackery {

constexpr int LOCKER_CALL_LIMIT_MS = 250;

struct LockerState {
	bool freedesktop = false;
	bool gnome = false;
	bool logind = false;
	// The unique names that speak for the session lockers, empty while nobody owns one.
	std::string freedesktop_owner;
	std::string gnome_owner;
	std::string session_path; // our logind session, empty when unknown

	bool locked() const { return freedesktop || gnome || logind; }
};

// Subscribes to the lockers' signals on the session bus and asks each for its state.
void watch_session_lockers(DBusConnection *session, LockerState &state);
// The same for logind on the system bus, when our process belongs to a session there.
void watch_logind(DBusConnection *system, LockerState &state);

// Asks again those that say locked (keys arrive while locked: the locker may have lost its
// signal). One that does not answer in time keeps its word.
void recheck_lockers(DBusConnection *session, DBusConnection *system, LockerState &state);

// Handles one message of either bus; true when it changed the state.
bool handle_locker_message(DBusMessage *message, LockerState &state);

} // namespace clackery
