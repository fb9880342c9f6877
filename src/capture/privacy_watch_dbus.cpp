// The privacy watcher on Linux: one thread polls its private connections to the session bus,
// the accessibility bus and (where reachable) the system bus, beside an eventfd for stop and
// requests. A bus that goes away is noticed at once and looked for again now and then.

#include "capture/capture_log.h"
#include "capture/privacy_atspi.h"
#include "capture/privacy_locker.h"
#include "capture/privacy_watch.h"

#include <chrono>
#include <thread>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace clackery {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRetryInterval = std::chrono::seconds(5);
constexpr auto kRecheckInterval = std::chrono::seconds(1);
constexpr int kSetupLimitMs = 1000;

class DbusPrivacyWatch : public PrivacyWatch {
public:
	DbusPrivacyWatch()
	{
		wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
		if (wake_fd_ < 0) {
			capture_warning(
			    "privacy: cannot start the watcher; password fields and the screen lock are not "
			    "recognised");
			flags_.detector.store(PrivacyDetector::none, std::memory_order_release);
			return;
		}
		thread_ = std::thread([this] { run(); });
	}

	~DbusPrivacyWatch() override
	{
		if (thread_.joinable()) {
			stop_.store(true, std::memory_order_release);
			wake();
			thread_.join();
		}
		if (wake_fd_ >= 0)
			close(wake_fd_);
	}

	const PrivacyFlags &flags() const override { return flags_; }

	void recheck_lock() override
	{
		if (!recheck_.exchange(true, std::memory_order_acq_rel))
			wake();
	}

	void forget_lock() override
	{
		forget_.store(true, std::memory_order_release);
		flags_.screen_locked.store(false, std::memory_order_release);
		wake();
	}

private:
	void wake() const
	{
		const std::uint64_t one = 1;
		while (write(wake_fd_, &one, sizeof(one)) < 0 && errno == EINTR) {
		}
	}

	void run()
	{
		dbus_threads_init_default();
		connect_session();
		connect_atspi_bus(true);
		connect_system();
		publish_lock();
		while (!stop_.load(std::memory_order_acquire)) {
			handle_requests();
			drain_all();
			if (stop_.load(std::memory_order_acquire))
				break;
			wait_for_input();
			reconnect_when_due();
		}
	}

	void connect_session()
	{
		session_ = open_dbus(session_bus_address(), kSetupLimitMs);
		if (session_)
			watch_session_lockers(session_.get(), lockers_);
	}

	void connect_system()
	{
		system_ = open_dbus(system_bus_address(), kSetupLimitMs);
		if (system_)
			watch_logind(system_.get(), lockers_);
	}

	void connect_atspi_bus(bool first)
	{
		if (session_)
			atspi_ = connect_atspi(session_.get());
		const PrivacyDetector detector = atspi_ ? PrivacyDetector::atspi : PrivacyDetector::none;
		const PrivacyDetector before = flags_.detector.exchange(detector, std::memory_order_acq_rel);
		if (atspi_ && before != PrivacyDetector::atspi && !first)
			capture_warning("privacy: the accessibility bus is back; password fields are recognised again");
		if (!atspi_ && first)
			capture_warning("privacy: no accessibility bus; password fields are not recognised (the pause "
					"hotkey still hides every key)");
	}

	void lose_atspi_bus()
	{
		atspi_.reset();
		forget_atspi_focus(focus_, flags_);
		flags_.detector.store(PrivacyDetector::none, std::memory_order_release);
		capture_warning(
		    "privacy: the accessibility bus went away; password fields are not recognised until it is "
		    "back");
	}

	void handle_requests()
	{
		if (forget_.exchange(false, std::memory_order_acq_rel)) {
			// Unknown owners are asked again at the next recheck.
			lockers_.freedesktop = lockers_.gnome = lockers_.logind = false;
			publish_lock();
		}
		if (recheck_.exchange(false, std::memory_order_acq_rel) && lockers_.locked() &&
		    Clock::now() >= next_recheck_) {
			next_recheck_ = Clock::now() + kRecheckInterval;
			recheck_lockers(session_.get(), system_.get(), lockers_);
			publish_lock();
		}
	}

	void publish_lock() { flags_.screen_locked.store(lockers_.locked(), std::memory_order_release); }

	// What the connections hold, including what arrived while a call waited for its reply.
	void drain_all()
	{
		bool more = true;
		while (more && !stop_.load(std::memory_order_acquire)) {
			more = false;
			more |= drain(session_, false);
			more |= drain(system_, false);
			more |= drain(atspi_, true);
		}
	}

	bool drain(DbusConnection &bus, bool accessibility)
	{
		if (!bus)
			return false;
		dbus_connection_read_write(bus.get(), 0);
		bool any = false;
		while (DBusMessage *raw = dbus_connection_pop_message(bus.get())) {
			const DbusMessage message(raw);
			any = true;
			if (accessibility)
				handle_atspi_message(bus.get(), message.get(), focus_, flags_);
			else if (handle_locker_message(message.get(), lockers_))
				publish_lock();
		}
		if (!dbus_connection_get_is_connected(bus.get())) {
			if (accessibility)
				lose_atspi_bus();
			else
				bus.reset();
			return false;
		}
		return any;
	}

	void wait_for_input()
	{
		pollfd fds[4] = {{wake_fd_, POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
		DbusConnection *buses[] = {&session_, &system_, &atspi_};
		for (int i = 0; i < 3; ++i) {
			int fd = -1;
			if (*buses[i] && dbus_connection_get_unix_fd(buses[i]->get(), &fd))
				fds[i + 1].fd = fd;
		}
		const bool missing = !session_ || !atspi_;
		const int timeout =
		    missing ? static_cast<int>(
				  std::chrono::duration_cast<std::chrono::milliseconds>(kRetryInterval).count())
			    : -1;
		if (poll(fds, 4, timeout) > 0 && (fds[0].revents & POLLIN)) {
			std::uint64_t count = 0;
			while (read(wake_fd_, &count, sizeof(count)) < 0 && errno == EINTR) {
			}
		}
	}

	void reconnect_when_due()
	{
		if ((session_ && atspi_) || Clock::now() < next_retry_)
			return;
		next_retry_ = Clock::now() + kRetryInterval;
		if (!session_)
			connect_session();
		if (!atspi_)
			connect_atspi_bus(false);
		publish_lock();
	}

	PrivacyFlags flags_;
	int wake_fd_ = -1;
	std::atomic<bool> stop_{false};
	std::atomic<bool> recheck_{false};
	std::atomic<bool> forget_{false};
	std::thread thread_;
	// Watcher thread only.
	DbusConnection session_;
	DbusConnection system_;
	DbusConnection atspi_;
	AtspiFocus focus_;
	LockerState lockers_;
	Clock::time_point next_retry_ = Clock::now() + kRetryInterval;
	Clock::time_point next_recheck_{};
};

} // namespace

std::unique_ptr<PrivacyWatch> start_privacy_watch()
{
	return std::make_unique<DbusPrivacyWatch>();
}

} // namespace clackery
