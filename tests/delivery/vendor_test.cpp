// The vendor registration and its requests against a fake obs-websocket, inside a Qt
// application whose event loop plays the OBS UI thread.
#include "delivery/emit.h"
#include "delivery/vendor.h"
#include "fake_websocket.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <obs.hpp>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using clackery::Vendor;
using clackery::VendorRequest;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> kAllRequests = {
    "get_state",
    "test_push_key",
    "test_counters",
    "test_set_run_on_start",
    "test_set_mode",
    "test_dock_ime",
    "test_dock_key",
    "test_dock_clear",
    "test_dock_edit",
    "test_set_text_options",
    "test_set_overlay_options",
    "test_stream_started",
    "test_set_hotkeys",
    "test_add_overlay",
    "test_show_dock",
    "test_grab_dock",
    "test_dock_paused",
    "test_dock_geometry",
};

const char *const kUnavailable = "[clackery] obs-websocket unavailable; delivery disabled";
const char *const kRegistrationFailed = "[clackery] vendor registration failed; delivery disabled";
const char *const kTestHooks = "[clackery] test hooks enabled";

struct Served {
	std::atomic<int> calls{0};
	std::atomic<VendorRequest> lastKind{VendorRequest::GetState};
	std::thread::id lastThread;
};

// A dispatcher that answers every request with its kind.
Vendor::Handler answering(Served &served)
{
	return [&served](VendorRequest kind, obs_data_t *, obs_data_t *response) {
		served.lastThread = std::this_thread::get_id();
		served.lastKind = kind;
		++served.calls;
		obs_data_set_int(response, "kind", static_cast<long long>(kind));
	};
}

// Runs the UI thread's event loop until the request thread has its answer.
std::optional<std::string> serve_until_answered(std::future<std::optional<std::string>> &answer)
{
	const auto deadline = std::chrono::steady_clock::now() + 10s;
	while (answer.wait_for(1ms) != std::future_status::ready) {
		if (std::chrono::steady_clock::now() > deadline)
			return std::string("no answer within 10 s");
		QCoreApplication::processEvents();
	}
	return answer.get();
}

} // namespace

TEST(VendorStart, WithoutObsWebSocketSaysSoOnceAndDeliversNothing)
{
	FakeWebSocket fake;
	fake.available = false;
	LogCapture log;
	Vendor record;
	EXPECT_FALSE(record.start(fake.host(), true, {}));
	EXPECT_EQ(log.lines().size(), 1u);
	EXPECT_EQ(log.count(LOG_WARNING, kUnavailable), 1);
	EXPECT_FALSE(record.deliveryEnabled);
	EXPECT_TRUE(fake.vendorNames.empty());
	OBSDataAutoRelease payload = obs_data_create();
	EXPECT_FALSE(clackery::emit_overlay_event(record, "state", payload, true));
	record.stop();
}

TEST(VendorStart, RefusedVendorDisablesDeliverySilently)
{
	FakeWebSocket fake;
	fake.acceptVendor = false;
	LogCapture log;
	Vendor record;
	EXPECT_FALSE(record.start(fake.host(), true, {}));
	EXPECT_EQ(fake.vendorNames, std::vector<std::string>{"clackery"});
	EXPECT_TRUE(log.lines().empty());
	EXPECT_TRUE(fake.registered.empty());
	EXPECT_FALSE(record.deliveryEnabled);
	record.stop();
}

TEST(VendorStart, TestHooksAddTheSeventeenTestRequestsInKindOrder)
{
	for (bool testHooks : {false, true}) {
		SCOPED_TRACE(testHooks);
		FakeWebSocket fake;
		LogCapture log;
		Vendor record;
		EXPECT_TRUE(record.start(fake.host(), testHooks, {}));
		EXPECT_TRUE(record.deliveryEnabled);
		const std::vector<std::string> expected =
		    testHooks ? kAllRequests : std::vector<std::string>{"get_state"};
		EXPECT_EQ(fake.registered, expected);
		EXPECT_EQ(log.count(LOG_INFO, kTestHooks), testHooks ? 1 : 0);
		EXPECT_EQ(log.lines().size(), testHooks ? 1u : 0u);
		EXPECT_EQ(record.instanceId.rfind("clackery-plugin-", 0), 0u);
		EXPECT_EQ(record.instanceId.size(), 52u);

		record.stop();
		EXPECT_EQ(fake.unregistered, expected);
		EXPECT_EQ(record.ph, nullptr);
		EXPECT_EQ(record.vendor, nullptr);
	}
}

TEST(VendorStart, OneRefusedRequestDisablesDeliveryAndTheOthersAnswerNothing)
{
	FakeWebSocket fake;
	fake.refusedRequests = {"test_counters"};
	LogCapture log;
	Served served;
	Vendor record;
	EXPECT_FALSE(record.start(fake.host(), true, answering(served)));
	EXPECT_FALSE(record.deliveryEnabled);
	EXPECT_EQ(log.count(LOG_WARNING, kRegistrationFailed), 1);
	EXPECT_EQ(log.count(LOG_INFO, kTestHooks), 1);
	// Every registration was still attempted.
	EXPECT_EQ(fake.registered.size(), kAllRequests.size() - 1);
	EXPECT_TRUE(fake.is_registered("test_dock_geometry"));

	auto answer = std::async(std::launch::async, [&] { return fake.call("get_state"); });
	EXPECT_EQ(serve_until_answered(answer), std::optional<std::string>("{}"));
	EXPECT_EQ(served.calls.load(), 0);

	record.stop();
	std::vector<std::string> expected = kAllRequests;
	expected.erase(expected.begin() + 2);
	EXPECT_EQ(fake.unregistered, expected);
}

TEST(VendorRequests, RequestFromAnotherThreadRunsOnTheUiThreadWithItsKind)
{
	FakeWebSocket fake;
	Served served;
	Vendor record;
	ASSERT_TRUE(record.start(fake.host(), true, answering(served)));
	for (const char *name : {"get_state", "test_dock_geometry"}) {
		auto answer = std::async(std::launch::async, [&fake, name] { return fake.call(name); });
		const auto reply = serve_until_answered(answer);
		EXPECT_EQ(served.lastThread, std::this_thread::get_id());
		const auto kind = static_cast<long long>(served.lastKind.load());
		EXPECT_EQ(reply, std::optional<std::string>("{\"kind\":" + std::to_string(kind) + "}"));
	}
	EXPECT_EQ(served.calls.load(), 2);
	EXPECT_EQ(served.lastKind.load(), VendorRequest::TestDockGeometry);
	record.stop();
}

TEST(VendorRequests, StopReleasesAWaitingRequestEmptyAndItNeverRuns)
{
	FakeWebSocket fake;
	Served served;
	Vendor record;
	ASSERT_TRUE(record.start(fake.host(), false, answering(served)));
	auto answer = std::async(std::launch::async, [&] { return fake.call("get_state"); });
	while (fake.inFlight.load() == 0)
		std::this_thread::yield();
	// Let the request reach the gate's wait; it is released empty whichever comes first.
	std::this_thread::sleep_for(20ms);
	record.stop();
	EXPECT_EQ(answer.wait_for(10s), std::future_status::ready);
	EXPECT_EQ(answer.get(), std::optional<std::string>("{}"));
	QCoreApplication::processEvents();
	EXPECT_EQ(served.calls.load(), 0);
	EXPECT_FALSE(fake.is_registered("get_state"));
	EXPECT_FALSE(record.deliveryEnabled);
}
