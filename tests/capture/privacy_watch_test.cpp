// The privacy watcher against private buses: an application's focus events on the
// accessibility bus, a screen locker and logind as they speak D-Bus, and the faults a desktop
// may show (an application that never answers, a bus that vanishes, a locker that lies).

#include "capture/capture_log.h"
#include "capture/privacy_atspi.h"
#include "capture/privacy_bus_fakes.h"
#include "capture/privacy_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace clackery {
namespace {

using namespace std::chrono_literals;

std::mutex log_mutex;
std::vector<std::string> log_lines;

std::vector<std::string> logged()
{
	std::lock_guard<std::mutex> lock(log_mutex);
	return log_lines;
}

template <typename Predicate> bool eventually(Predicate predicate, std::chrono::milliseconds limit = 3000ms)
{
	const auto end = std::chrono::steady_clock::now() + limit;
	while (std::chrono::steady_clock::now() < end) {
		if (predicate())
			return true;
		std::this_thread::sleep_for(2ms);
	}
	return predicate();
}

// A desktop of two buses: the session bus, whose launcher hands out the accessibility bus, and
// the accessibility bus with its registry.
class PrivacyWatchTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		{
			std::lock_guard<std::mutex> lock(log_mutex);
			log_lines.clear();
		}
		set_capture_log_sink([](const char *line) {
			std::lock_guard<std::mutex> lock(log_mutex);
			log_lines.emplace_back(line);
		});
		ASSERT_TRUE(session_.start());
		ASSERT_TRUE(atspi_.start());
		setenv("DBUS_SESSION_BUS_ADDRESS", session_.address().c_str(), 1);
		setenv("DBUS_SYSTEM_BUS_ADDRESS", system_address_.c_str(), 1);
	}

	void TearDown() override { set_capture_log_sink(nullptr); }

	void start_launcher()
	{
		ASSERT_TRUE(launcher_.start(session_.address(), "org.a11y.Bus", [this](DBusMessage *call) {
			return dbus_message_is_method_call(call, "org.a11y.Bus", "GetAddress")
				   ? reply_with_string(call, atspi_.address())
				   : reply_unknown(call);
		}));
		ASSERT_TRUE(registry_.start(atspi_.address(), "org.a11y.atspi.Registry", [this](DBusMessage *call) {
			const char *event = nullptr;
			if (dbus_message_is_method_call(call, "org.a11y.atspi.Registry", "RegisterEvent") &&
			    dbus_message_get_args(call, nullptr, DBUS_TYPE_STRING, &event, DBUS_TYPE_INVALID))
				registered_ = event;
			return dbus_message_new_method_return(call);
		}));
	}

	// An application whose objects report their roles; "/hung" never answers.
	void start_app(FakeService &app)
	{
		ASSERT_TRUE(app.start(atspi_.address(), nullptr, [](DBusMessage *call) -> DBusMessage * {
			if (!dbus_message_is_method_call(call, "org.a11y.atspi.Accessible", "GetRole"))
				return reply_unknown(call);
			const std::string path = dbus_message_get_path(call);
			if (path == "/hung")
				return nullptr;
			if (path == "/liar")
				return reply_with_string(call, "password text");
			// 79 is an ordinary entry; 40 the password text.
			return reply_with_uint32(call, path == "/password" ? ATSPI_ROLE_PASSWORD_TEXT : 79);
		}));
	}

	static void focus(FakeService &app, const char *path, bool gained)
	{
		app.signal(path, "org.a11y.atspi.Event.Object", "StateChanged", [gained](DBusMessage *message) {
			const char *kind = "focused";
			const dbus_int32_t detail1 = gained ? 1 : 0;
			const dbus_int32_t detail2 = 0;
			DBusMessageIter args;
			DBusMessageIter variant;
			dbus_message_iter_init_append(message, &args);
			dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &kind);
			dbus_message_iter_append_basic(&args, DBUS_TYPE_INT32, &detail1);
			dbus_message_iter_append_basic(&args, DBUS_TYPE_INT32, &detail2);
			dbus_message_iter_open_container(&args, DBUS_TYPE_VARIANT, "i", &variant);
			dbus_message_iter_append_basic(&variant, DBUS_TYPE_INT32, &detail2);
			dbus_message_iter_close_container(&args, &variant);
		});
	}

	// Waits until the watcher has judged `changes` more focus changes than `before`.
	static bool judged(const PrivacyWatch &watch, std::uint32_t before, std::uint32_t changes = 1)
	{
		return eventually([&] { return read_privacy(watch.flags()).focus_serial >= before + changes; });
	}

	static bool password(const PrivacyWatch &watch) { return read_privacy(watch.flags()).password_field; }

	TestBus session_;
	TestBus atspi_;
	std::string system_address_ = "unix:path=/nonexistent/system_bus_socket";
	FakeService launcher_;
	FakeService registry_;
	std::string registered_;
};

bool started(const PrivacyWatch &watch)
{
	return eventually([&] { return read_privacy(watch.flags()).detector != PrivacyDetector::starting; });
}

TEST_F(PrivacyWatchTest, FollowsTheFocusIntoAndOutOfAPasswordFieldAcrossApplications)
{
	start_launcher();
	FakeService browser;
	FakeService editor;
	start_app(browser);
	start_app(editor);
	const auto watch = start_privacy_watch();
	ASSERT_TRUE(started(*watch));
	EXPECT_EQ(read_privacy(watch->flags()).detector, PrivacyDetector::atspi);
	ASSERT_TRUE(eventually([&] { return registered_ == "object:state-changed:focused"; })) << registered_;

	struct Step {
		FakeService *app;
		const char *path;
		bool gained;
		bool password_after;
	};
	const Step steps[] = {
	    {&browser, "/user", true, false},
	    {&browser, "/password", true, true},
	    // A loss reported by an object that is not focused changes nothing.
	    {&editor, "/password", false, true},
	    {&browser, "/password", false, false},
	    {&browser, "/password", true, true},
	    // Another application's field takes the focus without a loss first.
	    {&editor, "/user", true, false},
	    // An answer of the wrong type is no password role.
	    {&browser, "/liar", true, false},
	};
	for (const Step &step : steps) {
		const std::uint32_t before = read_privacy(watch->flags()).focus_serial;
		const bool counts = step.gained || step.app == &browser;
		focus(*step.app, step.path, step.gained);
		if (counts)
			ASSERT_TRUE(judged(*watch, before)) << step.path;
		else
			std::this_thread::sleep_for(100ms);
		EXPECT_EQ(password(*watch), step.password_after) << step.path << " gained=" << step.gained;
	}
	EXPECT_EQ(logged(), std::vector<std::string>{});
}

TEST_F(PrivacyWatchTest, AnApplicationThatNeverAnswersNorStaysCostsOneTimeLimit)
{
	start_launcher();
	FakeService app;
	start_app(app);
	const auto watch = start_privacy_watch();
	ASSERT_TRUE(started(*watch));

	std::uint32_t before = read_privacy(watch->flags()).focus_serial;
	const auto asked = std::chrono::steady_clock::now();
	focus(app, "/hung", true);
	ASSERT_TRUE(judged(*watch, before));
	const auto waited = std::chrono::steady_clock::now() - asked;
	EXPECT_GE(waited, std::chrono::milliseconds(ATSPI_APP_CALL_LIMIT_MS - 10));
	EXPECT_LT(waited, std::chrono::milliseconds(ATSPI_APP_CALL_LIMIT_MS + 1000));
	EXPECT_FALSE(password(*watch));

	before = read_privacy(watch->flags()).focus_serial;
	focus(app, "/password", true);
	ASSERT_TRUE(judged(*watch, before));
	EXPECT_TRUE(password(*watch));

	// The application goes with its focus: nothing is typed into a password field any more.
	before = read_privacy(watch->flags()).focus_serial;
	app.close();
	ASSERT_TRUE(judged(*watch, before));
	EXPECT_FALSE(password(*watch));
}

TEST_F(PrivacyWatchTest, AnAccessibilityBusThatVanishesIsSaidOnceAndTheWatcherStopsAtOnce)
{
	start_launcher();
	FakeService app;
	start_app(app);
	auto watch = start_privacy_watch();
	ASSERT_TRUE(started(*watch));
	const std::uint32_t before = read_privacy(watch->flags()).focus_serial;
	focus(app, "/password", true);
	ASSERT_TRUE(judged(*watch, before));
	ASSERT_TRUE(password(*watch));

	atspi_.stop(SIGKILL);
	ASSERT_TRUE(eventually([&] { return read_privacy(watch->flags()).detector == PrivacyDetector::none; }));
	EXPECT_FALSE(password(*watch));
	EXPECT_EQ(logged(), std::vector<std::string>{"privacy: the accessibility bus went away; password fields are "
						     "not recognised until it is back"});

	const auto stopping = std::chrono::steady_clock::now();
	watch.reset();
	EXPECT_LT(std::chrono::steady_clock::now() - stopping, 500ms);
}

TEST_F(PrivacyWatchTest, WithoutAnAccessibilityBusTheDetectorIsNoneAndSaysSoOnce)
{
	const auto watch = start_privacy_watch();
	ASSERT_TRUE(eventually([&] { return read_privacy(watch->flags()).detector == PrivacyDetector::none; }));
	EXPECT_EQ(logged(),
		  std::vector<std::string>{"privacy: no accessibility bus; password fields are not recognised "
					   "(the pause hotkey still hides every key)"});
	EXPECT_STREQ(privacy_detector_name(read_privacy(watch->flags()).detector), "none");
}

// A locker as org.freedesktop.ScreenSaver: GetActive answers `active_`.
class LockerTest : public PrivacyWatchTest {
protected:
	void start_locker(FakeService &locker, const char *name = "org.freedesktop.ScreenSaver",
			  const char *path = "/org/freedesktop/ScreenSaver")
	{
		ASSERT_TRUE(locker.start(session_.address(), name, [this, name, path](DBusMessage *call) {
			return dbus_message_is_method_call(call, name, "GetActive") && dbus_message_has_path(call, path)
				   ? reply_with_bool(call, active_.load())
				   : reply_unknown(call);
		}));
	}

	static void active_changed(FakeService &from, bool active, const char *name = "org.freedesktop.ScreenSaver",
				   const char *path = "/org/freedesktop/ScreenSaver")
	{
		from.signal(path, name, "ActiveChanged", [active](DBusMessage *message) {
			const dbus_bool_t flag = active ? TRUE : FALSE;
			dbus_message_append_args(message, DBUS_TYPE_BOOLEAN, &flag, DBUS_TYPE_INVALID);
		});
	}

	static bool locked(const PrivacyWatch &watch) { return read_privacy(watch.flags()).screen_locked; }
	static bool becomes(const PrivacyWatch &watch, bool value)
	{
		return eventually([&] { return locked(watch) == value; });
	}

	std::atomic<bool> active_{false};
};

TEST_F(LockerTest, TheLockersStateAtStartAndItsSignalsSwitchTheLock)
{
	active_ = true;
	FakeService locker;
	start_locker(locker);
	const auto watch = start_privacy_watch();
	ASSERT_TRUE(becomes(*watch, true)) << "GetActive at start";
	active_changed(locker, false);
	ASSERT_TRUE(becomes(*watch, false));
	active_changed(locker, true);
	ASSERT_TRUE(becomes(*watch, true));

	// Someone else on the bus cannot unlock it.
	FakeService stranger;
	ASSERT_TRUE(stranger.start(session_.address(), nullptr, reply_unknown));
	active_changed(stranger, false);
	std::this_thread::sleep_for(200ms);
	EXPECT_TRUE(locked(*watch));

	// A locker that ends (or crashes) has stopped locking.
	locker.close();
	EXPECT_TRUE(becomes(*watch, false));
}

TEST_F(LockerTest, ALockerThatNeverSaysUnlockedIsAskedAgainOrForgotten)
{
	active_ = true;
	FakeService locker;
	start_locker(locker, "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver");
	const auto watch = start_privacy_watch();
	ASSERT_TRUE(becomes(*watch, true));

	// Its signal was lost: keys arriving make the watcher ask again.
	active_ = false;
	watch->recheck_lock();
	ASSERT_TRUE(becomes(*watch, false));

	active_changed(locker, true, "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver");
	ASSERT_TRUE(becomes(*watch, true));
	// Still saying locked when asked: only the streamer's word recovers, until the next lock.
	active_ = true;
	watch->recheck_lock();
	std::this_thread::sleep_for(200ms);
	EXPECT_TRUE(locked(*watch));
	watch->forget_lock();
	EXPECT_FALSE(locked(*watch));
	std::this_thread::sleep_for(100ms);
	EXPECT_FALSE(locked(*watch));
	active_changed(locker, true, "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver");
	EXPECT_TRUE(becomes(*watch, true));
}

// logind on a system bus of our own: our session's LockedHint and its PropertiesChanged.
TEST_F(LockerTest, LogindsLockedHintOfOurSessionLocksToo)
{
	TestBus system;
	ASSERT_TRUE(system.start());
	system_address_ = system.address();
	setenv("DBUS_SYSTEM_BUS_ADDRESS", system_address_.c_str(), 1);
	setenv("XDG_SESSION_ID", "7", 1);
	std::atomic<bool> hint{true};
	FakeService logind;
	ASSERT_TRUE(logind.start(system.address(), "org.freedesktop.login1", [&hint](DBusMessage *call) {
		const char *id = nullptr;
		if (dbus_message_is_method_call(call, "org.freedesktop.login1.Manager", "GetSession") &&
		    dbus_message_get_args(call, nullptr, DBUS_TYPE_STRING, &id, DBUS_TYPE_INVALID) &&
		    std::strcmp(id, "7") == 0) {
			DBusMessage *reply = dbus_message_new_method_return(call);
			const char *path = "/org/freedesktop/login1/session/_37";
			dbus_message_append_args(reply, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID);
			return reply;
		}
		if (dbus_message_is_method_call(call, DBUS_INTERFACE_PROPERTIES, "Get") &&
		    dbus_message_has_path(call, "/org/freedesktop/login1/session/_37")) {
			DBusMessage *reply = dbus_message_new_method_return(call);
			DBusMessageIter args;
			DBusMessageIter variant;
			const dbus_bool_t value = hint.load() ? TRUE : FALSE;
			dbus_message_iter_init_append(reply, &args);
			dbus_message_iter_open_container(&args, DBUS_TYPE_VARIANT, "b", &variant);
			dbus_message_iter_append_basic(&variant, DBUS_TYPE_BOOLEAN, &value);
			dbus_message_iter_close_container(&args, &variant);
			return reply;
		}
		return reply_unknown(call);
	}));
	const auto watch = start_privacy_watch();
	ASSERT_TRUE(becomes(*watch, true));

	logind.signal("/org/freedesktop/login1/session/_37", DBUS_INTERFACE_PROPERTIES, "PropertiesChanged",
		      [](DBusMessage *message) {
			      const char *interface = "org.freedesktop.login1.Session";
			      const char *key = "LockedHint";
			      const dbus_bool_t value = FALSE;
			      DBusMessageIter args, changed, entry, variant, invalidated;
			      dbus_message_iter_init_append(message, &args);
			      dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &interface);
			      dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "{sv}", &changed);
			      dbus_message_iter_open_container(&changed, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
			      dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
			      dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "b", &variant);
			      dbus_message_iter_append_basic(&variant, DBUS_TYPE_BOOLEAN, &value);
			      dbus_message_iter_close_container(&entry, &variant);
			      dbus_message_iter_close_container(&changed, &entry);
			      dbus_message_iter_close_container(&args, &changed);
			      dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "s", &invalidated);
			      dbus_message_iter_close_container(&args, &invalidated);
		      });
	EXPECT_TRUE(becomes(*watch, false));
	unsetenv("XDG_SESSION_ID");
}

} // namespace
} // namespace clackery
