// Event emission against a fake obs-websocket: the envelope, the numbering and both roads.
#include "common/clock.h"
#include "delivery/emit.h"
#include "delivery/vendor.h"
#include "fake_websocket.h"

#include <gtest/gtest.h>

#include <obs.hpp>

#include <regex>
#include <string>

using clackery::emit_overlay_event;
using clackery::Vendor;

namespace {

class Emission : public ::testing::Test {
protected:
	void SetUp() override { ASSERT_TRUE(record.start(fake.host(), false, {})); }
	void TearDown() override { record.stop(); }

	// Emits a fresh payload {"code": "KeyA", "down": true} and returns it.
	OBSDataAutoRelease emit_key(const char *kind = "key", bool vendorEvent = true, bool *result = nullptr)
	{
		OBSDataAutoRelease payload = obs_data_create();
		obs_data_set_string(payload, "code", "KeyA");
		obs_data_set_bool(payload, "down", true);
		const bool sent = emit_overlay_event(record, kind, payload, vendorEvent);
		if (result)
			*result = sent;
		return payload;
	}

	// The envelope text that the last "call_request" carried to obs-browser.
	std::string last_envelope()
	{
		if (fake.callRequests.empty())
			return {};
		const auto &call = fake.callRequests.back();
		EXPECT_EQ(call.type, "CallVendorRequest");
		OBSDataAutoRelease outer = obs_data_create_from_json(call.json.c_str());
		EXPECT_STREQ(obs_data_get_string(outer, "vendorName"), "obs-browser");
		EXPECT_STREQ(obs_data_get_string(outer, "requestType"), "emit_event");
		OBSDataAutoRelease browser = obs_data_get_obj(outer, "requestData");
		EXPECT_STREQ(obs_data_get_string(browser, "event_name"), "fernquarry.clackery");
		OBSDataAutoRelease eventData = obs_data_get_obj(browser, "event_data");
		return obs_data_get_string(eventData, "json");
	}

	long long envelope_seq(const std::string &envelope)
	{
		OBSDataAutoRelease parsed = obs_data_create_from_json(envelope.c_str());
		return obs_data_get_int(parsed, "seq");
	}

	FakeWebSocket fake;
	Vendor record;
};

} // namespace

TEST_F(Emission, KeyEventTravelsAsVendorEventAndAsExactEnvelope)
{
	const double before = clackery::wall_clock_ms();
	bool sent = false;
	OBSDataAutoRelease payload = emit_key("key", true, &sent);
	const double after = clackery::wall_clock_ms();
	EXPECT_TRUE(sent);

	ASSERT_EQ(fake.vendorEvents.size(), 1u);
	EXPECT_EQ(fake.vendorEvents[0].type, "key");
	EXPECT_EQ(fake.vendorEvents[0].json, R"({"code":"KeyA","down":true,"seq":1})");
	EXPECT_EQ(obs_data_get_int(payload, "seq"), 1);

	// The host keeps a data object's items sorted by name, so that is the order on the wire.
	const std::string envelope = last_envelope();
	const std::regex shape(
	    R"re(\{"at":([0-9.e+]+),"data":\{"code":"KeyA","down":true,"seq":1\},)re"
	    R"re("from":"(clackery-plugin-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12})",)re"
	    R"re("kind":"key","role":"plugin","seq":1,"type":"fernquarry.clackery","v":1\})re");
	std::smatch match;
	ASSERT_TRUE(std::regex_match(envelope, match, shape)) << envelope;
	const double at = std::stod(match[1].str());
	EXPECT_GE(at, before);
	EXPECT_LE(at, after);
	EXPECT_EQ(match[2].str(), record.instanceId);
	EXPECT_EQ(record.instanceId.size(), 52u);
}

TEST_F(Emission, OnlyStatePayloadsGoWithoutTheirOwnSeqWhileEveryKindIsNumbered)
{
	const struct {
		const char *kind;
		bool payloadSeq;
	} cases[] = {{"key", true},  {"state", false}, {"mouse", true},
		     {"text", true}, {"wheel", true},  {"state", false}};
	long long expected = 0;
	for (const auto &c : cases) {
		SCOPED_TRACE(c.kind);
		OBSDataAutoRelease payload = emit_key(c.kind, true);
		++expected;
		EXPECT_EQ(envelope_seq(last_envelope()), expected);
		EXPECT_EQ(fake.vendorEvents.back().type, c.kind);
		if (c.payloadSeq)
			EXPECT_EQ(obs_data_get_int(payload, "seq"), expected);
		else
			EXPECT_FALSE(obs_data_has_user_value(payload, "seq"));
	}
}

TEST_F(Emission, StateWithoutVendorEventStillReachesThePageAndConsumesANumber)
{
	OBSDataAutoRelease state = emit_key("state", false);
	EXPECT_TRUE(fake.vendorEvents.empty());
	EXPECT_EQ(envelope_seq(last_envelope()), 1);
}

TEST_F(Emission, FailedSendingStillConsumesTheNumber)
{
	fake.emitSucceeds = false;
	fake.browserStatus.reset();
	bool sent = true;
	OBSDataAutoRelease lost = emit_key("key", true, &sent);
	EXPECT_FALSE(sent);
	EXPECT_EQ(obs_data_get_int(lost, "seq"), 1);

	fake.emitSucceeds = true;
	fake.browserStatus = 100;
	OBSDataAutoRelease next = emit_key("text", true, &sent);
	EXPECT_TRUE(sent);
	EXPECT_EQ(obs_data_get_int(next, "seq"), 2);
	EXPECT_EQ(envelope_seq(last_envelope()), 2);
}

TEST_F(Emission, SucceedsWhenEitherRoadSucceeds)
{
	const struct {
		bool vendorEvent;
		bool emitSucceeds;
		std::optional<unsigned int> browserStatus;
		bool expected;
	} cases[] = {
	    {true, true, 100, true},  {true, true, 600, true},   {true, false, 100, true}, {true, false, 600, false},
	    {true, false, {}, false}, {true, true, {}, true},    {false, true, 100, true}, {false, true, 600, false},
	    {false, true, 0, false},  {false, false, 100, true}, {false, true, {}, false},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(::testing::Message() << "vendorEvent=" << c.vendorEvent << " emit=" << c.emitSucceeds
						  << " browser=" << (c.browserStatus ? int(*c.browserStatus) : -1));
		fake.emitSucceeds = c.emitSucceeds;
		fake.browserStatus = c.browserStatus;
		const size_t events = fake.vendorEvents.size();
		const size_t calls = fake.callRequests.size();
		bool sent = !c.expected;
		OBSDataAutoRelease payload = emit_key("key", c.vendorEvent, &sent);
		EXPECT_EQ(sent, c.expected);
		EXPECT_EQ(fake.vendorEvents.size(), events + (c.vendorEvent ? 1 : 0));
		EXPECT_EQ(fake.callRequests.size(), calls + 1);
	}
}

TEST_F(Emission, ReleasesEverythingItCreatedAndTheResponseItWasHanded)
{
	for (std::optional<unsigned int> status :
	     {std::optional<unsigned int>(100), std::optional<unsigned int>(600), std::optional<unsigned int>()}) {
		fake.browserStatus = status;
		const long before = bnum_allocs();
		{
			OBSDataAutoRelease payload = emit_key("text", true);
		}
		EXPECT_EQ(bnum_allocs(), before);
	}
}

TEST(EmissionDisabled, SendsNothingAndConsumesNoNumberBeforeStartOrAfterStop)
{
	FakeWebSocket fake;
	Vendor record;
	OBSDataAutoRelease payload = obs_data_create();
	EXPECT_FALSE(emit_overlay_event(record, "key", payload, true));

	fake.refusedRequests = {"get_state"};
	EXPECT_FALSE(record.start(fake.host(), false, {}));
	EXPECT_FALSE(emit_overlay_event(record, "key", payload, true));
	record.stop();

	FakeWebSocket second;
	ASSERT_TRUE(record.start(second.host(), false, {}));
	record.stop();
	EXPECT_FALSE(emit_overlay_event(record, "key", payload, true));

	EXPECT_EQ(record.seq, 0u);
	EXPECT_FALSE(obs_data_has_user_value(payload, "seq"));
	EXPECT_TRUE(fake.vendorEvents.empty() && fake.callRequests.empty());
	EXPECT_TRUE(second.vendorEvents.empty() && second.callRequests.empty());
}
