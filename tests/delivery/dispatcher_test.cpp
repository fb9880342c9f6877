// The request dispatcher with fake core services.
#include "delivery/dispatcher.h"

#include <gtest/gtest.h>

#include <obs.hpp>

#include <string>

using clackery::handle_vendor_request;
using clackery::RequestServices;
using clackery::VendorRequest;

namespace {

struct FakeCore {
	bool running = true;
	int statesBuilt = 0;

	RequestServices services()
	{
		RequestServices s;
		s.running = [this] { return running; };
		s.build_state = [this]() -> OBSDataAutoRelease {
			++statesBuilt;
			return obs_data_create_from_json(R"({"paused":true,"rev":7,"layout":"jis_tkl"})");
		};
		return s;
	}
};

// The services are the module's one installed set: never leave one pointing at a dead fake.
class Dispatcher : public ::testing::Test {
protected:
	void TearDown() override { clackery::set_request_services({}); }
};

std::string reply_to(VendorRequest kind)
{
	OBSDataAutoRelease request = obs_data_create();
	OBSDataAutoRelease response = obs_data_create();
	handle_vendor_request(kind, request, response);
	return obs_data_get_json(response);
}

} // namespace

TEST_F(Dispatcher, GetStateAnswersWithEveryKeyOfTheStateObject)
{
	FakeCore core;
	clackery::set_request_services(core.services());
	const long before = bnum_allocs();
	EXPECT_EQ(reply_to(VendorRequest::GetState), R"({"layout":"jis_tkl","paused":true,"rev":7})");
	// The state object built for the reply is released again.
	EXPECT_EQ(bnum_allocs(), before);
	EXPECT_EQ(core.statesBuilt, 1);
}

TEST_F(Dispatcher, AnswersNothingWhileTheModuleIsNotRunning)
{
	FakeCore core;
	core.running = false;
	clackery::set_request_services(core.services());
	EXPECT_EQ(reply_to(VendorRequest::GetState), "{}");
	EXPECT_EQ(core.statesBuilt, 0);

	clackery::set_request_services({});
	EXPECT_EQ(reply_to(VendorRequest::GetState), "{}");
}

TEST_F(Dispatcher, KindOutsideTheEnumerationWritesNothing)
{
	FakeCore core;
	clackery::set_request_services(core.services());
	EXPECT_EQ(reply_to(static_cast<VendorRequest>(18)), "{}");
	EXPECT_EQ(reply_to(static_cast<VendorRequest>(0xffffffffu)), "{}");
	EXPECT_EQ(core.statesBuilt, 0);
}
