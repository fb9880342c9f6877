// The checks of each vendor request against fake services: what is refused, what the service
// receives, and which reply keys are written.
#include "delivery/dispatcher.h"
#include "delivery/vendor_request.h"

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

struct FakeCore final : RequestServices {
	bool dock = true;
	bool is_paused = true;
	std::vector<TestKey> keys;
	std::vector<InputMethodCall> ime;
	std::vector<std::pair<std::int64_t, std::int64_t>> selections;
	std::vector<bool> grabs;
	std::vector<DockGeometryRequest> geometries;
	std::vector<OverlayOptions> applied;
	OBSDataAutoRelease stored = obs_data_create();

	FakeCore()
	{
		obs_data_set_string(stored, "text_source", "dock");
		obs_data_set_string(stored, "text_color", "white");
	}

	bool running() override { return true; }
	OBSDataAutoRelease build_state() override { return obs_data_create(); }
	bool post_test_key(const TestKey &key) override
	{
		keys.push_back(key);
		return true;
	}
	RequestCounters counters() override { return RequestCounters{1, 2, 3, 4, 5, 6, 7, 8}; }
	obs_data_t *settings() override { return stored; }
	bool paused() override { return is_paused; }
	OverlayOptions current_options() override { return default_options(); }
	void apply_dock_options(const OverlayOptions &o) override { applied.push_back(o); }
	bool apply_options(const OverlayOptions &o, const std::string &, const std::string &) override
	{
		applied.push_back(o);
		return true;
	}
	void merge_text_options(obs_data_t *, OverlayOptions &) override {}
	bool set_hotkey_bindings(obs_data_t *) override { return false; }
	OverlayPlacement add_overlay() override { return OverlayPlacement{}; }

	bool dock_exists() override { return dock; }
	bool dock_inject_input_method(const std::string &p, const std::string &c, std::int64_t cursor,
				      std::int64_t start, std::int64_t length) override
	{
		ime.push_back({p, c, cursor, start, length});
		return true;
	}
	bool dock_simulate_key(const std::string &, bool, bool) override { return false; }
	bool dock_select_text(std::int64_t caret, std::int64_t anchor) override
	{
		selections.emplace_back(caret, anchor);
		return true;
	}
	void dock_press_clear() override {}
	bool dock_press_pause(bool value) override
	{
		is_paused = value;
		return true;
	}
	void dock_show(bool) override {}
	std::optional<DockImage> dock_grab(bool floating) override
	{
		grabs.push_back(floating);
		return DockImage{"iVBORw0KGgo=", 560, 200};
	}
	std::optional<DockGeometryReport> dock_geometry(const DockGeometryRequest &r) override
	{
		geometries.push_back(r);
		return DockGeometryReport{};
	}
	DockStatusTexts dock_status_texts() override { return DockStatusTexts{"run", "health", "capture", ""}; }
	bool capture_event(CaptureTestKind kind, std::uint32_t error) override
	{
		capture_events.emplace_back(kind, error);
		return true;
	}
	std::vector<std::pair<CaptureTestKind, std::uint32_t>> capture_events;
};

// The table's row of a request name; the test fails when the module has no such request.
const VendorRequestRow &row_named(const char *name)
{
	for (std::size_t i = 0; i < kVendorRequestCount; ++i) {
		if (std::string(kVendorRequests[i].name) == name)
			return kVendorRequests[i];
	}
	ADD_FAILURE() << "no request " << name;
	static const VendorRequestRow none{"", false, nullptr};
	return none;
}

class Requests : public testing::Test {
protected:
	// The reply as JSON text; "{}" when nothing was written.
	std::string reply(const char *name, const char *json = "{}")
	{
		OBSDataAutoRelease request = obs_data_create_from_json(json);
		OBSDataAutoRelease response = obs_data_create();
		serve_vendor_request(&core, row_named(name), request, response);
		return obs_data_get_json(response);
	}

	bool accepted(const char *name, const char *json)
	{
		OBSDataAutoRelease request = obs_data_create_from_json(json);
		OBSDataAutoRelease response = obs_data_create();
		serve_vendor_request(&core, row_named(name), request, response);
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
		EXPECT_EQ(reply("test_push_key", json), compact(R"({"queued":false})")) << json;
	EXPECT_TRUE(core.keys.empty());
	EXPECT_EQ(reply("test_push_key", R"({"scancode":255,"vk":0,"extended":true,"down":false})"),
		  compact(R"({"queued":true})"));
	ASSERT_EQ(core.keys.size(), 1u);
	EXPECT_EQ(core.keys[0].scancode, 255u);
	EXPECT_TRUE(core.keys[0].extended);
	EXPECT_FALSE(core.keys[0].down);
}

TEST_F(Requests, CountersReportEveryKeyAndZeroHeatmapResets)
{
	EXPECT_EQ(reply("test_counters"),
		  compact(R"({"sent":1,"queued":2,"dropped":3,"paused":4,"unknown":5,"repeated":6,
			"text_sent":7,"text_paused":8,"heatmap_resets":0})"));
}

TEST_F(Requests, ModeAndRunOnStartAnswerNothingWhenRefused)
{
	EXPECT_EQ(reply("test_set_mode", R"({"mode":"Keyboard"})"), "{}");
	EXPECT_EQ(reply("test_set_run_on_start", R"({"enabled":1})"), "{}");
	obs_data_set_bool(core.stored, "run_on_start", false);
	EXPECT_EQ(reply("test_set_run_on_start", R"({"enabled":true})"), compact(R"({"run_on_start":false})"));
}

TEST_F(Requests, OverlayOptionsRefuseWholeOnAnyBadValue)
{
	for (const char *json :
	     {R"({"soundVolume":50.5})", R"({"soundVolume":101})", R"({"soundVolume":-1})", R"({"speed":"true"})",
	      R"({"mode":3})", R"({"textColor":false})", R"({"heatmap":1})", R"({"mouse":1})"})
		EXPECT_FALSE(accepted("test_set_overlay_options", json)) << json;
	EXPECT_TRUE(core.applied.empty());
	EXPECT_TRUE(
	    accepted("test_set_overlay_options", R"({"soundVolume":100,"kana":true,"mode":"text","mouse":true})"));
	ASSERT_EQ(core.applied.size(), 1u);
	EXPECT_EQ(core.applied[0].sound_volume, 100);
	EXPECT_TRUE(core.applied[0].kana);
	EXPECT_TRUE(core.applied[0].mouse);
	EXPECT_EQ(core.applied[0].mode, "text");
}

TEST_F(Requests, InputMethodBoundsAndTheDefaultCursor)
{
	EXPECT_TRUE(accepted("test_dock_ime", R"({"replacementStart":-8000})"));
	EXPECT_FALSE(accepted("test_dock_ime", R"({"replacementStart":-8001})"));
	EXPECT_FALSE(accepted("test_dock_ime", R"({"replacementStart":8001})"));
	EXPECT_FALSE(accepted("test_dock_ime", R"({"cursor":-1})"));
	EXPECT_FALSE(accepted("test_dock_ime", R"({"replacementLength":8001})"));
	EXPECT_FALSE(accepted("test_dock_ime", R"({"preedit":7})"));
	const std::string long_preedit = "{\"preedit\":\"" + std::string(65537, 'a') + "\"}";
	EXPECT_FALSE(accepted("test_dock_ime", long_preedit.c_str()));
	ASSERT_EQ(core.ime.size(), 1u);
	EXPECT_TRUE(accepted("test_dock_ime", "{\"preedit\":\"\\ud83d\\ude00\",\"committed\":\"x\"}"));
	ASSERT_EQ(core.ime.size(), 2u);
	EXPECT_EQ(core.ime[1].cursor, 2) << "one character above U+FFFF is two UTF-16 units";
	EXPECT_EQ(core.ime[1].committed, "x");
}

TEST_F(Requests, EditTakesTheCaretAsTheDefaultAnchor)
{
	EXPECT_TRUE(accepted("test_dock_edit", R"({"caret":5})"));
	EXPECT_TRUE(accepted("test_dock_edit", R"({"caret":8000,"anchor":0})"));
	EXPECT_FALSE(accepted("test_dock_edit", R"({"caret":8001})"));
	EXPECT_FALSE(accepted("test_dock_edit", R"({"anchor":1})"));
	const std::vector<std::pair<std::int64_t, std::int64_t>> expected = {{5, 5}, {8000, 0}};
	EXPECT_EQ(core.selections, expected);
}

TEST_F(Requests, WithoutADockEveryDockRequestIsRefusedAndPausedStillReported)
{
	core.dock = false;
	for (const char *kind : {"test_dock_ime", "test_dock_key", "test_dock_clear", "test_dock_edit",
				 "test_show_dock", "test_grab_dock", "test_dock_geometry", "test_dock_status"})
		EXPECT_EQ(reply(kind, R"({"caret":1,"visible":true,"key":"Enter"})"), compact(R"({"accepted":false})"));
	EXPECT_EQ(reply("test_dock_paused", R"({"paused":false})"), compact(R"({"applied":false,"paused":true})"));
}

TEST_F(Requests, CaptureEventsByNameWithAnOptionalError)
{
	for (const char *event :
	     {R"({"event":"hook_lost","error":5})", R"({"event":"hook_lost"})", R"({"event":"away"})",
	      R"({"event":"back"})", R"({"event":"elevated"})", R"({"event":"not_elevated"})"})
		EXPECT_TRUE(accepted("test_capture_event", event)) << event;
	for (const char *refused :
	     {R"({"event":"Away"})", R"({"event":1})", R"({})", R"({"event":"hook_lost","error":-1})",
	      R"({"event":"hook_lost","error":"5"})", R"({"event":"hook_lost","error":4294967296})"})
		EXPECT_FALSE(accepted("test_capture_event", refused)) << refused;
	const std::vector<std::pair<CaptureTestKind, std::uint32_t>> expected{
	    {CaptureTestKind::hook_lost, 5}, {CaptureTestKind::hook_lost, 0}, {CaptureTestKind::away, 0},
	    {CaptureTestKind::back, 0},      {CaptureTestKind::elevated, 0},  {CaptureTestKind::not_elevated, 0}};
	EXPECT_EQ(core.capture_events, expected);
	EXPECT_EQ(reply("test_dock_status"),
		  compact(R"({"accepted":true,"run":"run","health":"health","capture":"capture","notice":""})"));
}

TEST_F(Requests, DockPausedAlwaysCarriesThePausedFlag)
{
	EXPECT_EQ(reply("test_dock_paused", R"({"paused":"no"})"), compact(R"({"applied":false,"paused":true})"));
	EXPECT_EQ(reply("test_dock_paused", R"({"paused":false})"), compact(R"({"applied":true,"paused":false})"));
}

TEST_F(Requests, GrabReadsFloatingWithoutATypeCheck)
{
	EXPECT_TRUE(accepted("test_grab_dock", R"({"floating":"yes"})"));
	EXPECT_TRUE(accepted("test_grab_dock", R"({"floating":true})"));
	EXPECT_EQ(core.grabs, (std::vector<bool>{false, true}));
	EXPECT_EQ(reply("test_grab_dock"),
		  compact(R"({"accepted":true,"imageData":"iVBORw0KGgo=","width":560,"height":200})"));
}

TEST_F(Requests, GeometryRefusesAFloatingOfAnotherTypeAndPassesSizesOn)
{
	EXPECT_FALSE(accepted("test_dock_geometry", R"({"floating":"true"})"));
	EXPECT_TRUE(core.geometries.empty());
	EXPECT_TRUE(accepted("test_dock_geometry", R"({"floating":true,"width":800,"height":"900"})"));
	ASSERT_EQ(core.geometries.size(), 1u);
	EXPECT_EQ(core.geometries[0].floating, std::optional<bool>(true));
	EXPECT_TRUE(core.geometries[0].size_given);
	EXPECT_EQ(core.geometries[0].width, 800);
	EXPECT_EQ(core.geometries[0].height, 0) << "a size of another type counts as 0";
	EXPECT_TRUE(accepted("test_dock_geometry", "{}"));
	EXPECT_FALSE(core.geometries[1].floating.has_value());
	EXPECT_FALSE(core.geometries[1].size_given);
}
