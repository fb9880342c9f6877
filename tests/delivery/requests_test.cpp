// The checks of each vendor request against fake services: what is refused, what the service
// receives, and which reply keys are written.
#include "delivery/dispatcher.h"

#include <gtest/gtest.h>

#include <obs.hpp>

#include <optional>
#include <string>
#include <vector>

using namespace clackery;

namespace {

struct InputMethodCall {
	std::string preedit;
	std::string committed;
	std::int64_t cursor, start, length;
};

struct FakeCore {
	bool dock = true;
	bool paused = true;
	std::vector<TestKey> keys;
	std::vector<InputMethodCall> ime;
	std::vector<std::pair<std::int64_t, std::int64_t>> selections;
	std::vector<bool> grabs;
	std::vector<DockGeometryRequest> geometries;
	std::vector<OverlayOptions> applied;
	OBSDataAutoRelease settings = obs_data_create();

	RequestServices services()
	{
		obs_data_set_string(settings, "text_source", "dock");
		obs_data_set_string(settings, "text_color", "white");
		RequestServices s;
		s.running = [] { return true; };
		s.post_test_key = [this](const TestKey &key) {
			keys.push_back(key);
			return true;
		};
		s.counters = [] { return RequestCounters{1, 2, 3, 4, 5, 6, 7, 8}; };
		s.settings = [this]() -> obs_data_t * { return settings; };
		s.paused = [this] { return paused; };
		s.current_options = [] { return default_options(); };
		s.apply_options = [this](const OverlayOptions &o, const std::string &, const std::string &) {
			applied.push_back(o);
			return true;
		};
		s.merge_text_options = [](obs_data_t *, OverlayOptions &) {};
		s.dock.exists = [this] { return dock; };
		s.dock.inject_input_method = [this](const std::string &p, const std::string &c, std::int64_t cursor,
						    std::int64_t start, std::int64_t length) {
			ime.push_back({p, c, cursor, start, length});
			return true;
		};
		s.dock.select_text = [this](std::int64_t caret, std::int64_t anchor) {
			selections.emplace_back(caret, anchor);
			return true;
		};
		s.dock.press_pause = [this](bool value) {
			paused = value;
			return true;
		};
		s.dock.grab = [this](bool floating) -> std::optional<DockImage> {
			grabs.push_back(floating);
			return DockImage{"iVBORw0KGgo=", 560, 200};
		};
		s.dock.geometry = [this](const DockGeometryRequest &r) -> std::optional<DockGeometryReport> {
			geometries.push_back(r);
			return DockGeometryReport{};
		};
		return s;
	}
};

class Requests : public testing::Test {
protected:
	void SetUp() override { set_request_services(core.services()); }
	void TearDown() override { set_request_services({}); }

	// The reply as JSON text; "{}" when nothing was written.
	std::string reply(VendorRequest kind, const char *json = "{}")
	{
		OBSDataAutoRelease request = obs_data_create_from_json(json);
		OBSDataAutoRelease response = obs_data_create();
		handle_vendor_request(kind, request, response);
		return obs_data_get_json(response);
	}

	bool accepted(VendorRequest kind, const char *json)
	{
		OBSDataAutoRelease request = obs_data_create_from_json(json);
		OBSDataAutoRelease response = obs_data_create();
		handle_vendor_request(kind, request, response);
		return obs_data_get_bool(response, "accepted");
	}

	FakeCore core;
};

std::string compact(const char *json)
{
	OBSDataAutoRelease data = obs_data_create_from_json(json);
	return obs_data_get_json(data);
}

} // namespace

TEST_F(Requests, PushKeyChecksTypesAndUnsignedBounds)
{
	const char *refused[] = {
	    R"({"scancode":256,"vk":65,"extended":false,"down":true})",
	    R"({"scancode":30,"vk":-1,"extended":false,"down":true})",
	    R"({"scancode":30,"vk":65,"extended":false,"down":1})",
	    R"({"scancode":"30","vk":65,"extended":false,"down":true})",
	    R"({"scancode":1e300,"vk":65,"extended":false,"down":true})",
	    R"({"vk":65,"extended":false,"down":true})",
	};
	for (const char *json : refused)
		EXPECT_EQ(reply(VendorRequest::TestPushKey, json), compact(R"({"queued":false})")) << json;
	EXPECT_TRUE(core.keys.empty());
	EXPECT_EQ(reply(VendorRequest::TestPushKey, R"({"scancode":255,"vk":0,"extended":true,"down":false})"),
		  compact(R"({"queued":true})"));
	ASSERT_EQ(core.keys.size(), 1u);
	EXPECT_EQ(core.keys[0].scancode, 255u);
	EXPECT_TRUE(core.keys[0].extended);
	EXPECT_FALSE(core.keys[0].down);
}

TEST_F(Requests, CountersReportEveryKeyAndZeroHeatmapResets)
{
	EXPECT_EQ(reply(VendorRequest::TestCounters),
		  compact(R"({"sent":1,"queued":2,"dropped":3,"paused":4,"unknown":5,"repeated":6,
			"text_sent":7,"text_paused":8,"heatmap_resets":0})"));
}

TEST_F(Requests, ModeAndRunOnStartAnswerNothingWhenRefused)
{
	EXPECT_EQ(reply(VendorRequest::TestSetMode, R"({"mode":"Keyboard"})"), "{}");
	EXPECT_EQ(reply(VendorRequest::TestSetRunOnStart, R"({"enabled":1})"), "{}");
	obs_data_set_bool(core.settings, "run_on_start", false);
	EXPECT_EQ(reply(VendorRequest::TestSetRunOnStart, R"({"enabled":true})"), compact(R"({"run_on_start":false})"));
}

TEST_F(Requests, OverlayOptionsRefuseWholeOnAnyBadValue)
{
	for (const char *json : {R"({"soundVolume":50.5})", R"({"soundVolume":101})", R"({"soundVolume":-1})",
				 R"({"speed":"true"})", R"({"mode":3})", R"({"textColor":false})", R"({"heatmap":1})"})
		EXPECT_FALSE(accepted(VendorRequest::TestSetOverlayOptions, json)) << json;
	EXPECT_TRUE(core.applied.empty());
	EXPECT_TRUE(accepted(VendorRequest::TestSetOverlayOptions, R"({"soundVolume":100,"kana":true,"mode":"text"})"));
	ASSERT_EQ(core.applied.size(), 1u);
	EXPECT_EQ(core.applied[0].sound_volume, 100);
	EXPECT_TRUE(core.applied[0].kana);
	EXPECT_EQ(core.applied[0].mode, "text");
}

TEST_F(Requests, InputMethodBoundsAndTheDefaultCursor)
{
	EXPECT_TRUE(accepted(VendorRequest::TestDockIme, R"({"replacementStart":-8000})"));
	EXPECT_FALSE(accepted(VendorRequest::TestDockIme, R"({"replacementStart":-8001})"));
	EXPECT_FALSE(accepted(VendorRequest::TestDockIme, R"({"replacementStart":8001})"));
	EXPECT_FALSE(accepted(VendorRequest::TestDockIme, R"({"cursor":-1})"));
	EXPECT_FALSE(accepted(VendorRequest::TestDockIme, R"({"replacementLength":8001})"));
	EXPECT_FALSE(accepted(VendorRequest::TestDockIme, R"({"preedit":7})"));
	const std::string long_preedit = "{\"preedit\":\"" + std::string(65537, 'a') + "\"}";
	EXPECT_FALSE(accepted(VendorRequest::TestDockIme, long_preedit.c_str()));
	ASSERT_EQ(core.ime.size(), 1u);
	EXPECT_TRUE(accepted(VendorRequest::TestDockIme, "{\"preedit\":\"\\ud83d\\ude00\",\"committed\":\"x\"}"));
	ASSERT_EQ(core.ime.size(), 2u);
	EXPECT_EQ(core.ime[1].cursor, 2) << "one character above U+FFFF is two UTF-16 units";
	EXPECT_EQ(core.ime[1].committed, "x");
}

TEST_F(Requests, EditTakesTheCaretAsTheDefaultAnchor)
{
	EXPECT_TRUE(accepted(VendorRequest::TestDockEdit, R"({"caret":5})"));
	EXPECT_TRUE(accepted(VendorRequest::TestDockEdit, R"({"caret":8000,"anchor":0})"));
	EXPECT_FALSE(accepted(VendorRequest::TestDockEdit, R"({"caret":8001})"));
	EXPECT_FALSE(accepted(VendorRequest::TestDockEdit, R"({"anchor":1})"));
	const std::vector<std::pair<std::int64_t, std::int64_t>> expected = {{5, 5}, {8000, 0}};
	EXPECT_EQ(core.selections, expected);
}

TEST_F(Requests, WithoutADockEveryDockRequestIsRefusedAndPausedStillReported)
{
	core.dock = false;
	for (VendorRequest kind : {VendorRequest::TestDockIme, VendorRequest::TestDockKey, VendorRequest::TestDockClear,
				   VendorRequest::TestDockEdit, VendorRequest::TestShowDock,
				   VendorRequest::TestGrabDock, VendorRequest::TestDockGeometry})
		EXPECT_EQ(reply(kind, R"({"caret":1,"visible":true,"key":"Enter"})"), compact(R"({"accepted":false})"));
	EXPECT_EQ(reply(VendorRequest::TestDockPaused, R"({"paused":false})"),
		  compact(R"({"applied":false,"paused":true})"));
}

TEST_F(Requests, DockPausedAlwaysCarriesThePausedFlag)
{
	EXPECT_EQ(reply(VendorRequest::TestDockPaused, R"({"paused":"no"})"),
		  compact(R"({"applied":false,"paused":true})"));
	EXPECT_EQ(reply(VendorRequest::TestDockPaused, R"({"paused":false})"),
		  compact(R"({"applied":true,"paused":false})"));
}

TEST_F(Requests, GrabReadsFloatingWithoutATypeCheck)
{
	EXPECT_TRUE(accepted(VendorRequest::TestGrabDock, R"({"floating":"yes"})"));
	EXPECT_TRUE(accepted(VendorRequest::TestGrabDock, R"({"floating":true})"));
	EXPECT_EQ(core.grabs, (std::vector<bool>{false, true}));
	EXPECT_EQ(reply(VendorRequest::TestGrabDock),
		  compact(R"({"accepted":true,"imageData":"iVBORw0KGgo=","width":560,"height":200})"));
}

TEST_F(Requests, GeometryRefusesAFloatingOfAnotherTypeAndPassesSizesOn)
{
	EXPECT_FALSE(accepted(VendorRequest::TestDockGeometry, R"({"floating":"true"})"));
	EXPECT_TRUE(core.geometries.empty());
	EXPECT_TRUE(accepted(VendorRequest::TestDockGeometry, R"({"floating":true,"width":800,"height":"900"})"));
	ASSERT_EQ(core.geometries.size(), 1u);
	EXPECT_EQ(core.geometries[0].floating, std::optional<bool>(true));
	EXPECT_TRUE(core.geometries[0].size_given);
	EXPECT_EQ(core.geometries[0].width, 800);
	EXPECT_EQ(core.geometries[0].height, 0) << "a size of another type counts as 0";
	EXPECT_TRUE(accepted(VendorRequest::TestDockGeometry, "{}"));
	EXPECT_FALSE(core.geometries[1].floating.has_value());
	EXPECT_FALSE(core.geometries[1].size_given);
}
