// The one apply road for options and the state object, on real settings in a temp folder.
// Without the host's data folder the skin catalogue is "default" alone and no layout loads.
#include "capture/ring.h"
#include "core/core.h"
#include "core/options.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "core/state_object.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace clackery;

namespace {

class Options : public testing::Test {
protected:
	void SetUp() override
	{
		load_settings_at(core.settings, dir / "config.json");
		obs_data_set_string(core.settings.data, "skin", "default");
		core.running = true;
	}
	void TearDown() override
	{
		core.running = false;
		release_settings(core.settings);
	}

	bool apply(const OverlayOptions &options, const std::string &source = "dock",
		   const std::string &color = "white")
	{
		return apply_options(core, options, source, color);
	}

	TempDir dir;
	Core core;
};

} // namespace

TEST_F(Options, RefusalsChangeNothingAndDoNotBumpTheRevision)
{
	const std::uint64_t rev = core.runtime.rev;
	struct Case {
		const char *what;
		OverlayOptions options;
		std::string source = "dock";
		std::string color = "white";
	};
	std::vector<Case> cases;
	auto with = [this](auto change) {
		OverlayOptions options = current_options(core);
		change(options);
		return options;
	};
	cases.push_back({"mode in capitals", with([](OverlayOptions &o) { o.mode = "Text"; })});
	cases.push_back({"volume 101", with([](OverlayOptions &o) { o.sound_volume = 101; })});
	cases.push_back({"volume -1", with([](OverlayOptions &o) { o.sound_volume = -1; })});
	cases.push_back({"skin with a space", with([](OverlayOptions &o) { o.skin = "a b"; })});
	cases.push_back({"skin not offered", with([](OverlayOptions &o) { o.skin = "navy_gold"; })});
	cases.push_back({"sheet not offered", with([](OverlayOptions &o) { o.shortcuts = "sai"; })});
	cases.push_back({"layout that does not load", with([](OverlayOptions &o) { o.layout = "us_full"; })});
	cases.push_back({"empty sheet id", with([](OverlayOptions &o) { o.shortcuts = ""; })});
	cases.push_back({"source in capitals", current_options(core), "Keys"});
	cases.push_back({"colour in capitals", current_options(core), "dock", "Dark"});
	for (const Case &c : cases)
		EXPECT_FALSE(apply(c.options, c.source, c.color)) << c.what;
	EXPECT_EQ(core.runtime.rev, rev);
	EXPECT_EQ(std::string(obs_data_get_string(core.settings.data, "mode")), "both");
	EXPECT_EQ(obs_data_get_int(core.settings.data, "sound_volume"), 30);
}

TEST_F(Options, ACorrectedValueIsAcceptedAndAChangeIsSavedWithANewRevision)
{
	const std::uint64_t rev = core.runtime.rev;
	OverlayOptions options = current_options(core);
	options.text_lines = 25; // stored as 0, which it already is: no change at all
	options.sound_pack = "no_such_pack";
	EXPECT_TRUE(apply(options));
	EXPECT_EQ(core.runtime.rev, rev);

	options.mode = "keyboard";
	options.heatmap = true; // not an option the streamer can change
	EXPECT_TRUE(apply(options, "keys", "dark"));
	EXPECT_EQ(core.runtime.rev, rev + 1);
	EXPECT_STREQ(obs_data_get_string(core.settings.data, "mode"), "keyboard");
	EXPECT_STREQ(obs_data_get_string(core.settings.data, "text_source"), "keys");
	EXPECT_STREQ(obs_data_get_string(core.settings.data, "text_color"), "dark");
	EXPECT_STREQ(obs_data_get_string(core.settings.data, "sound_pack"), "shizuka");
	EXPECT_FALSE(obs_data_get_bool(core.settings.data, "heatmap"));
	EXPECT_TRUE(std::filesystem::exists(dir / "config.json"));
}

TEST_F(Options, TheMouseOptionIsStoredPublishedAndFollowedByTheCaptureThread)
{
	const std::uint64_t rev = core.runtime.rev;
	EXPECT_FALSE(current_options(core).mouse);
	OverlayOptions options = current_options(core);
	options.mouse = true;
	core.held_buttons[2] = true;
	EXPECT_TRUE(apply(options));
	EXPECT_EQ(core.runtime.rev, rev + 1) << "the mouse alone is a change";
	EXPECT_TRUE(obs_data_get_bool(core.settings.data, "mouse"));
	OBSDataAutoRelease state = build_state(core);
	EXPECT_TRUE(obs_data_get_bool(state, "mouse"));
	EXPECT_TRUE(key_ring().hook.mouse_wanted.load());
	EXPECT_FALSE(core.held_buttons[2]) << "held buttons are forgotten when it changes";

	options.mouse = false;
	EXPECT_TRUE(apply(options));
	EXPECT_FALSE(key_ring().hook.mouse_wanted.load());
	EXPECT_FALSE(obs_data_get_bool(build_state(core), "mouse"));
}

TEST_F(Options, NothingIsAcceptedWhileTheModuleIsNotRunning)
{
	core.running = false;
	OverlayOptions options = current_options(core);
	options.mode = "text";
	EXPECT_FALSE(apply(options));
}

TEST_F(Options, ModesCycleKeyboardTextBoth)
{
	EXPECT_EQ(next_mode("both"), "keyboard");
	EXPECT_EQ(next_mode("keyboard"), "text");
	EXPECT_EQ(next_mode("text"), "both");
	EXPECT_EQ(next_mode("Both"), "keyboard");
	cycle_mode(core);
	EXPECT_STREQ(obs_data_get_string(core.settings.data, "mode"), "keyboard");
}

TEST_F(Options, TextOptionsOfARequestAreReadOnlyWhenPresent)
{
	OBSDataAutoRelease request = obs_data_create_from_json(
	    R"({"textFont":5,"textLines":3.5,"textFontSize":96,"textWidth":"80","textDirection":"down"})");
	OverlayOptions options = current_options(core);
	options.text_lines = 7;
	merge_text_options(request, options);
	EXPECT_EQ(options.text_font, "");
	EXPECT_EQ(options.text_lines, 0);
	EXPECT_EQ(options.text_font_size, 96);
	EXPECT_EQ(options.text_width, 0);
	EXPECT_EQ(options.text_direction, "down");

	OBSDataAutoRelease empty = obs_data_create();
	options.text_lines = 7;
	merge_text_options(empty, options);
	EXPECT_EQ(options.text_lines, 7);
}

// libobs keeps an object's items sorted by name, so the set of keys is what can be checked.
TEST_F(Options, TheStateObjectHasEveryKey)
{
	OBSDataAutoRelease state = build_state(core);
	std::vector<std::string> keys;
	for (obs_data_item_t *item = obs_data_first(state); item; obs_data_item_next(&item))
		keys.emplace_back(obs_data_item_get_name(item));
	std::vector<std::string> expected = {"paused",        "hidden",       "mode",      "layout",       "skin",
					     "shortcuts",     "run_on_start", "speed",     "heatmap",      "sound",
					     "mask",          "kana",         "rev",       "textSource",   "textScroll",
					     "textColor",     "textFont",     "textLines", "textFontSize", "textWidth",
					     "textDirection", "soundVolume",  "soundPack", "soundFiles",   "hotkeys",
					     "overlayRoad",   "mouse",        "privacy",   "capture"};
	std::sort(keys.begin(), keys.end());
	std::sort(expected.begin(), expected.end());
	EXPECT_EQ(keys, expected);
	OBSDataArrayAutoRelease files = obs_data_get_array(state, "soundFiles");
	EXPECT_EQ(obs_data_array_count(files), 0u) << "no pack was discovered";
	OBSDataAutoRelease hotkeys = obs_data_get_obj(state, "hotkeys");
	for (const char *action : {"pause_toggle", "hide_toggle", "mode_cycle"}) {
		OBSDataArrayAutoRelease binding = obs_data_get_array(hotkeys, action);
		EXPECT_NE(binding, nullptr) << action;
	}
	// No watcher runs here: nothing is hidden, and the detector says it has not looked.
	OBSDataAutoRelease privacy = obs_data_get_obj(state, "privacy");
	EXPECT_FALSE(obs_data_get_bool(privacy, "passwordField"));
	EXPECT_FALSE(obs_data_get_bool(privacy, "screenLocked"));
	EXPECT_STREQ(obs_data_get_string(privacy, "detector"), "starting");
	// No capture thread runs here: failed, and no key ever came (no age at all, as null cannot be held).
	OBSDataAutoRelease capture = obs_data_get_obj(state, "capture");
	EXPECT_STREQ(obs_data_get_string(capture, "status"), "failed");
	EXPECT_EQ(obs_data_get_int(capture, "reinstalls"), 0);
	EXPECT_FALSE(obs_data_get_bool(capture, "elevatedForeground"));
	EXPECT_FALSE(obs_data_has_user_value(capture, "lastKeyAgeMs"));
	EXPECT_TRUE(obs_data_has_user_value(capture, "error"));
}
