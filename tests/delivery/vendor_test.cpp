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
#include <fstream>
#include <future>
#include <thread>

using clackery::Vendor;
using clackery::VendorRequestRow;
using namespace std::chrono_literals;

namespace {

struct DocumentedRequest {
	std::string name;
	bool test_only = false;
};

// The request table of README.md, as tool authors read it: the rows under "### Vendor
// requests" whose first cell is a name in backticks.
std::vector<DocumentedRequest> documented_requests()
{
	std::ifstream readme(CLACKERY_SOURCE_DIR "/README.md");
	std::vector<DocumentedRequest> rows;
	bool in_section = false;
	for (std::string line; std::getline(readme, line);) {
		if (line.rfind("#", 0) == 0) {
			in_section = line == "### Vendor requests";
			continue;
		}
		if (!in_section || line.rfind("| `", 0) != 0)
			continue;
		const std::size_t end = line.find('`', 3);
		const std::size_t cell = line.find('|', end);
		const std::size_t next = line.find('|', cell + 1);
		if (end == std::string::npos || cell == std::string::npos || next == std::string::npos)
			continue;
		std::string flag = line.substr(cell + 1, next - cell - 1);
		flag.erase(0, flag.find_first_not_of(' '));
		flag.erase(flag.find_last_not_of(' ') + 1);
		EXPECT_TRUE(flag == "yes" || flag == "no") << line;
		rows.push_back({line.substr(3, end - 3), flag == "yes"});
	}
	return rows;
}

std::vector<std::string> names(const std::vector<DocumentedRequest> &rows, bool with_test_only)
{
	std::vector<std::string> out;
	for (const DocumentedRequest &row : rows) {
		if (with_test_only || !row.test_only)
			out.push_back(row.name);
	}
	return out;
}

const std::vector<std::string> kAllRequests = names(documented_requests(), true);

const char *const kUnavailable = "[clackery] obs-websocket unavailable; delivery disabled";
const char *const kRegistrationFailed = "[clackery] vendor registration failed; delivery disabled";
const char *const kTestHooks = "[clackery] test hooks enabled";

struct Served {
	std::atomic<int> calls{0};
	std::string lastName; // written and read on the UI thread only
	std::thread::id lastThread;
};

// A dispatcher that answers every request with its name.
Vendor::Handler answering(Served &served)
{
	return [&served](const VendorRequestRow &row, obs_data_t *, obs_data_t *response) {
		served.lastThread = std::this_thread::get_id();
		served.lastName = row.name;
		++served.calls;
		obs_data_set_string(response, "name", row.name);
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

TEST(VendorRequestTable, IsTheListOfTheReadme)
{
	const std::vector<DocumentedRequest> documented = documented_requests();
	ASSERT_EQ(documented.size(), clackery::kVendorRequestCount);
	for (std::size_t i = 0; i < documented.size(); ++i) {
		const VendorRequestRow &row = clackery::kVendorRequests[i];
		EXPECT_EQ(documented[i].name, row.name) << i;
		EXPECT_EQ(documented[i].test_only, row.test_only) << row.name;
		EXPECT_NE(row.handler, nullptr) << row.name;
	}
}

TEST(VendorStart, TestHooksAddTheTestRequestsInTableOrder)
{
	for (bool testHooks : {false, true}) {
		SCOPED_TRACE(testHooks);
		FakeWebSocket fake;
		LogCapture log;
		Vendor record;
		EXPECT_TRUE(record.start(fake.host(), testHooks, {}));
		EXPECT_TRUE(record.deliveryEnabled);
		const std::vector<std::string> expected = names(documented_requests(), testHooks);
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

TEST(VendorRequests, RequestFromAnotherThreadRunsOnTheUiThreadWithItsRow)
{
	FakeWebSocket fake;
	Served served;
	Vendor record;
	ASSERT_TRUE(record.start(fake.host(), true, answering(served)));
	for (const char *name : {"get_state", "test_dock_geometry"}) {
		auto answer = std::async(std::launch::async, [&fake, name] { return fake.call(name); });
		const auto reply = serve_until_answered(answer);
		EXPECT_EQ(served.lastThread, std::this_thread::get_id());
		EXPECT_EQ(served.lastName, name);
		EXPECT_EQ(reply, std::optional<std::string>(std::string("{\"name\":\"") + name + "\"}"));
	}
	EXPECT_EQ(served.calls.load(), 2);
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
