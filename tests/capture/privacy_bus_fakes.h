#pragma once
// Private D-Bus daemons for the privacy watcher's tests, and services on them that stand in for
// the desktop: the accessibility bus's launcher and registry, an application with focusable
// objects, and a screen locker. Each service answers on a thread of its own.

#include "support/announcing_child.h"

#include <dbus/dbus.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <string>
#include <thread>

#include <unistd.h>

namespace clackery {

class TestBus {
public:
	TestBus() = default;
	TestBus(const TestBus &) = delete;
	TestBus &operator=(const TestBus &) = delete;
	~TestBus()
	{
		stop(SIGTERM);
		if (!config_.empty())
			unlink(config_.c_str());
	}

	// A bus with no services to start on demand: nothing of the machine's desktop answers on it.
	bool start()
	{
		char config[] = "/tmp/clackery-bus-XXXXXX";
		const int file = mkstemp(config);
		if (file < 0)
			return false;
		static constexpr char kConfig[] =
		    "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
		    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
		    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
		const bool written =
		    write(file, kConfig, sizeof(kConfig) - 1) == static_cast<ssize_t>(sizeof(kConfig) - 1);
		::close(file);
		config_ = config;
		if (!written)
			return false;
		address_ = daemon_.start(
		    {"dbus-daemon", "--config-file=" + config_, "--nofork", "--nopidfile", "--print-address"}, "",
		    10000);
		return !address_.empty();
	}

	// SIGKILL stands for a bus that vanishes without a word.
	void stop(int signal) { daemon_.stop(signal); }

	const std::string &address() const { return address_; }

private:
	AnnouncingChild daemon_;
	std::string address_;
	std::string config_;
};

// One connection to a bus, answering method calls through `handler` on its own thread. The
// handler returns the reply to send, or null to leave the caller waiting.
class FakeService {
public:
	using Handler = std::function<DBusMessage *(DBusMessage *call)>;

	bool start(const std::string &address, const char *name, Handler handler)
	{
		DBusError error;
		dbus_error_init(&error);
		connection_ = dbus_connection_open_private(address.c_str(), &error);
		if (!connection_ || !dbus_bus_register(connection_, &error)) {
			dbus_error_free(&error);
			return false;
		}
		dbus_connection_set_exit_on_disconnect(connection_, FALSE);
		if (name && dbus_bus_request_name(connection_, name, DBUS_NAME_FLAG_DO_NOT_QUEUE, &error) !=
				DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
			dbus_error_free(&error);
			return false;
		}
		handler_ = std::move(handler);
		thread_ = std::thread([this] { serve(); });
		return true;
	}

	~FakeService() { close(); }

	// Leaves the bus: its names go with it.
	void close()
	{
		if (!connection_)
			return;
		stop_ = true;
		thread_.join();
		dbus_connection_close(connection_);
		dbus_connection_unref(connection_);
		connection_ = nullptr;
	}

	void signal(const char *path, const char *interface, const char *member,
		    const std::function<void(DBusMessage *)> &append)
	{
		DBusMessage *message = dbus_message_new_signal(path, interface, member);
		append(message);
		dbus_connection_send(connection_, message, nullptr);
		dbus_connection_flush(connection_);
		dbus_message_unref(message);
	}

	std::string unique_name() const { return dbus_bus_get_unique_name(connection_); }

private:
	void serve()
	{
		while (!stop_ && dbus_connection_read_write(connection_, 20)) {
			while (DBusMessage *message = dbus_connection_pop_message(connection_)) {
				if (dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_METHOD_CALL) {
					if (DBusMessage *reply = handler_(message)) {
						dbus_connection_send(connection_, reply, nullptr);
						dbus_message_unref(reply);
					}
				}
				dbus_message_unref(message);
			}
		}
	}

	DBusConnection *connection_ = nullptr;
	Handler handler_;
	std::atomic<bool> stop_{false};
	std::thread thread_;
};

inline DBusMessage *reply_with_string(DBusMessage *call, const std::string &text)
{
	DBusMessage *reply = dbus_message_new_method_return(call);
	const char *value = text.c_str();
	dbus_message_append_args(reply, DBUS_TYPE_STRING, &value, DBUS_TYPE_INVALID);
	return reply;
}

inline DBusMessage *reply_with_uint32(DBusMessage *call, dbus_uint32_t value)
{
	DBusMessage *reply = dbus_message_new_method_return(call);
	dbus_message_append_args(reply, DBUS_TYPE_UINT32, &value, DBUS_TYPE_INVALID);
	return reply;
}

inline DBusMessage *reply_with_bool(DBusMessage *call, bool value)
{
	DBusMessage *reply = dbus_message_new_method_return(call);
	const dbus_bool_t flag = value ? TRUE : FALSE;
	dbus_message_append_args(reply, DBUS_TYPE_BOOLEAN, &flag, DBUS_TYPE_INVALID);
	return reply;
}

inline DBusMessage *reply_unknown(DBusMessage *call)
{
	return dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_METHOD, "no such method");
}

} // namespace clackery
