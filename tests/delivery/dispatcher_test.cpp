// The request dispatcher with a fake core.
#include "delivery/dispatcher.h"
#include "delivery/vendor_request.h"

#include <gtest/gtest.h>

#include <obs.hpp>

#include <string>

using namespace clackery;

namespace {

// Answers get_state; every other service is unused here.
struct FakeCore final : RequestServices {
	bool is_running = true;
	int statesBuilt = 0;

	bool running() override { return is_running; }
	OBSDataAutoRelease build_state() override
	{
		++statesBuilt;
		return obs_data_create_from_json(R"({"paused":true,"rev":7,"layout":"jis_tkl"})");
	}
	bool post_test_key(const TestKey &) override { return false; }
	RequestCounters counters() override { return {}; }
	obs_data_t *settings() override { return nullptr; }
	bool paused() override { return true; }
	OverlayOptions current_options() override { return default_options(); }
	void apply_dock_options(const OverlayOptions &) override {}
	bool apply_options(const OverlayOptions &, const std::string &, const std::string &) override { return false; }
	void merge_text_options(obs_data_t *, OverlayOptions &) override {}
	bool set_hotkey_bindings(obs_data_t *) override { return false; }
	OverlayPlacement add_overlay() override { return {}; }
	bool dock_exists() override { return false; }
	bool dock_inject_input_method(const std::string &, const std::string &, std::int64_t, std::int64_t,
				      std::int64_t) override
	{
		return false;
	}
	bool dock_simulate_key(const std::string &, bool, bool) override { return false; }
	bool dock_select_text(std::int64_t, std::int64_t) override { return false; }
	void dock_press_clear() override {}
	bool dock_press_pause(bool) override { return false; }
	void dock_show(bool) override {}
	std::optional<DockImage> dock_grab(bool) override { return std::nullopt; }
	std::optional<DockGeometryReport> dock_geometry(const DockGeometryRequest &) override { return std::nullopt; }
	DockStatusTexts dock_status_texts() override { return {}; }
	bool capture_event(CaptureTestKind, std::uint32_t) override { return false; }
};

std::string reply_to(RequestServices *services, const VendorRequestRow &row)
{
	OBSDataAutoRelease request = obs_data_create();
	OBSDataAutoRelease response = obs_data_create();
	serve_vendor_request(services, row, request, response);
	return obs_data_get_json(response);
}

const VendorRequestRow &get_state_row()
{
	EXPECT_STREQ(kVendorRequests[0].name, "get_state");
	return kVendorRequests[0];
}

} // namespace

TEST(Dispatcher, GetStateAnswersWithEveryKeyOfTheStateObject)
{
	FakeCore core;
	const long before = bnum_allocs();
	EXPECT_EQ(reply_to(&core, get_state_row()), R"({"layout":"jis_tkl","paused":true,"rev":7})");
	// The state object built for the reply is released again.
	EXPECT_EQ(bnum_allocs(), before);
	EXPECT_EQ(core.statesBuilt, 1);
}

TEST(Dispatcher, AnswersNothingWhileTheModuleIsNotRunningOrWithoutServices)
{
	FakeCore core;
	core.is_running = false;
	EXPECT_EQ(reply_to(&core, get_state_row()), "{}");
	EXPECT_EQ(core.statesBuilt, 0);
	EXPECT_EQ(reply_to(nullptr, get_state_row()), "{}");
}

TEST(Dispatcher, RowWithoutHandlerWritesNothing)
{
	FakeCore core;
	const VendorRequestRow row{"unknown", true, nullptr};
	EXPECT_EQ(reply_to(&core, row), "{}");
	EXPECT_EQ(core.statesBuilt, 0);
}
