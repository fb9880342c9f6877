// The dock text relay and the tick against a stand-in obs-websocket: which frames and key events
// reach it, when the tick sweeps and publishes, and what the counters say.

#include "../delivery/fake_websocket.h"
#include "../dock/dock_fixture.h"
#include "capture/ring.h"
#include "core/core.h"
#include "core/key_events.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "core/text_relay.h"
#include "core/tick.h"
#include "delivery/vendor.h"
#include "dock/control_dock.h"
#include "layouts/text_layout.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <obs.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace clackery {
namespace {

class CoreWithWebSocket : public ::testing::Test {
protected:
	void SetUp() override
	{
		load_settings_at(core.settings, dir / "config.json");
		ASSERT_TRUE(vendor_record().start(fake.host(), false, {}));
		core.running = true;
		core.runtime.paused = false;
		install_text_layout({{"KeyA", "a", "A"}});
		word = bump_generation(key_ring(), true);
	}
	void TearDown() override
	{
		vendor_record().stop();
		core.running = false;
		core.runtime.paused = true;
		core.held_keys.clear();
		clear_keys_text(core.keys_text);
		install_text_layout({});
		bump_generation(key_ring(), false);
		release_settings(core.settings);
	}

	void set_source(const char *source) { obs_data_set_string(core.settings.data, "text_source", source); }

	// The "text" vendor events so far, as the texts they carry.
	std::vector<std::string> texts() const
	{
		std::vector<std::string> out;
		for (const auto &event : fake.vendorEvents) {
			if (event.type == "text") {
				OBSDataAutoRelease data = obs_data_create_from_json(event.json.c_str());
				out.push_back(std::string(obs_data_get_string(data, "op")) + ":" +
					      obs_data_get_string(data, "text"));
			}
		}
		return out;
	}

	int events_of(const char *type) const
	{
		int count = 0;
		for (const auto &event : fake.vendorEvents)
			count += event.type == type ? 1 : 0;
		return count;
	}

	// Events of a kind that took obs-browser's road (a periodic "state" takes no other).
	int browser_events_of(const char *kind) const
	{
		int count = 0;
		for (const auto &call : fake.callRequests) {
			OBSDataAutoRelease request = obs_data_create_from_json(call.json.c_str());
			OBSDataAutoRelease data = obs_data_get_obj(request, "requestData");
			OBSDataAutoRelease event = obs_data_get_obj(data, "event_data");
			OBSDataAutoRelease envelope = obs_data_create_from_json(obs_data_get_string(event, "json"));
			count += std::string(obs_data_get_string(envelope, "kind")) == kind ? 1 : 0;
		}
		return count;
	}

	void type_a() { emit_key_event(core, KeyEvent{"KeyA", true, {}, 1}); }

	void push_mouse(RecordKind kind, std::uint32_t button, bool down, int dy = 0)
	{
		KeyRecord record{};
		record.kind = kind;
		record.vk = button;
		record.down = down;
		record.dy = static_cast<std::int8_t>(dy);
		record.t = 42.5;
		push_record(key_ring(), record, word);
	}

	// The "key", "mouse" and "wheel" vendor events so far, as compact text, in order.
	std::vector<std::string> stream() const
	{
		std::vector<std::string> out;
		for (const auto &event : fake.vendorEvents) {
			if (event.type != "key" && event.type != "mouse" && event.type != "wheel")
				continue;
			OBSDataAutoRelease data = obs_data_create_from_json(event.json.c_str());
			OBSDataAutoRelease mods = obs_data_get_obj(data, "mods");
			std::string text = event.type + " ";
			if (event.type == "key")
				text += std::string(obs_data_get_string(data, "code")) +
					(obs_data_get_bool(data, "down") ? "+" : "-");
			else if (event.type == "mouse")
				text += std::to_string(obs_data_get_int(data, "button")) +
					(obs_data_get_bool(data, "down") ? "+" : "-");
			else
				text += std::to_string(obs_data_get_int(data, "dx")) + "," +
					std::to_string(obs_data_get_int(data, "dy"));
			if (obs_data_get_bool(mods, "ctrl"))
				text += " ctrl";
			if (event.type != "key" && obs_data_get_double(data, "t") != 42.5)
				text += " wrong time";
			out.push_back(text);
		}
		return out;
	}

	void push(std::uint32_t scancode, std::uint32_t vk, bool down)
	{
		KeyRecord record{};
		record.scancode = scancode;
		record.vk = vk;
		record.down = down;
		push_record(key_ring(), record, word);
	}

	TempDir dir;
	Core core;
	FakeWebSocket fake;
	std::uint64_t word = 0;
};

TextFrame frame(const char *op, const char *text)
{
	TextFrame f;
	f.op = op;
	f.text = text;
	return f;
}

TEST_F(CoreWithWebSocket, DockTextRelayFollowsTheSourceAndTheDockThatHoldsText)
{
	DeliveryCounters &counters = core.totals;
	const auto sent_before = counters.text_sent;

	// Source "keys": keys build text; the dock wins as soon as its field holds text, and sends
	// once more when the field empties; further empty changes send nothing.
	set_source("keys");
	type_a();
	EXPECT_EQ(keys_text_frame(core.keys_text, false).text, "a");
	relay_dock_text(core, frame("type", "x"), true);
	EXPECT_EQ(keys_text_frame(core.keys_text, false).text, "") << "using the dock discards the keys text";
	relay_dock_text(core, frame("backspace", ""), false);
	relay_dock_text(core, frame("type", ""), false);
	type_a();
	relay_dock_text(core, frame("clear", ""), false);
	EXPECT_EQ(keys_text_frame(core.keys_text, false).text, "");
	EXPECT_EQ(texts(), (std::vector<std::string>{"type:a", "type:x", "backspace:", "type:a", "clear:"}));

	// An input-method composition alone is text in the field: the dock wins while composing.
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	ASSERT_TRUE(dock->inject_input_method("か", "", 1, 0, 0));
	ASSERT_FALSE(calls.frames.empty());
	EXPECT_TRUE(dock->has_text());
	relay_dock_text(core, calls.frames.back(), dock->has_text());
	relay_dock_text(core, frame("commit", ""), false);
	EXPECT_EQ(texts().size(), 7u);
	EXPECT_EQ(texts()[5], "preedit:");

	// Source "dock": every change is sent, also with an empty field.
	set_source("dock");
	relay_dock_text(core, frame("type", ""), false);
	relay_dock_text(core, frame("enter", ""), false);
	EXPECT_EQ(texts().size(), 9u);
	EXPECT_EQ(counters.text_sent, sent_before + 9);

	// Paused: counted, not sent.
	const auto paused_before = counters.text_paused;
	core.runtime.paused = true;
	relay_dock_text(core, frame("type", "y"), true);
	relay_dock_text(core, frame("type", ""), false);
	EXPECT_EQ(counters.text_paused, paused_before + 2);
	EXPECT_EQ(texts().size(), 9u);
	core.runtime.paused = false;

	// Failed emissions and disabled delivery leave "text_sent" as it was.
	fake.emitSucceeds = false;
	fake.browserStatus.reset();
	relay_dock_text(core, frame("type", "z"), true);
	EXPECT_EQ(texts().size(), 10u);
	vendor_record().deliveryEnabled = false;
	relay_dock_text(core, frame("type", "zz"), true);
	EXPECT_EQ(texts().size(), 10u);
	EXPECT_EQ(counters.text_sent, sent_before + 9);
	relay_dock_text(core, frame("type", ""), false); // gives the field back for later tests
}

TEST_F(CoreWithWebSocket, TickSweepsEvery250msUnlessPausedAndPublishesEvery2000ms)
{
	DeliveryCounters &counters = core.totals;
	std::uint64_t now = 100000;
	int probes = 0;
	KeyState answer = KeyState::down;
	const auto clock = [&] { return now; };
	const auto probe = [&](std::uint32_t) {
		++probes;
		return answer;
	};

	// The first tick sweeps and publishes at once.
	tick_with(core, clock, probe);
	EXPECT_EQ(browser_events_of("state"), 1);

	const auto sent_before = counters.sent;
	push(0x1e, 0x41, true); // KeyA down
	now += 1;
	tick_with(core, clock, probe);
	EXPECT_EQ(events_of("key"), 1);
	EXPECT_EQ(counters.sent, sent_before + 1);
	EXPECT_EQ(probes, 0) << "no sweep before 250 ms";

	now = 100249;
	tick_with(core, clock, probe);
	EXPECT_EQ(probes, 0);
	answer = KeyState::up;
	now = 100250;
	tick_with(core, clock, probe);
	EXPECT_EQ(probes, 1);
	now = 100499;
	tick_with(core, clock, probe);
	EXPECT_EQ(probes, 1);

	// Paused: the deadline passes without a sweep, and the key stays held.
	core.runtime.paused = true;
	now = 100500;
	tick_with(core, clock, probe);
	EXPECT_EQ(probes, 1);
	core.runtime.paused = false;
	now = 100750;
	tick_with(core, clock, probe);
	EXPECT_EQ(probes, 2);
	EXPECT_EQ(events_of("key"), 2) << "the second miss releases the key";
	EXPECT_EQ(counters.sent, sent_before + 2);
	EXPECT_EQ(browser_events_of("state"), 1);

	// The periodic state, every 2000 ms from the first tick, without a vendor event.
	const int state_events = events_of("state");
	now = 101999;
	tick_with(core, clock, probe);
	EXPECT_EQ(browser_events_of("state"), 1);
	now = 102000;
	tick_with(core, clock, probe);
	EXPECT_EQ(browser_events_of("state"), 2);
	EXPECT_EQ(events_of("state"), state_events);

	// A failed emission leaves "sent" as it was.
	fake.emitSucceeds = false;
	fake.browserStatus.reset();
	push(0x1e, 0x41, true);
	now += 1;
	tick_with(core, clock, probe);
	EXPECT_EQ(events_of("key"), 3);
	EXPECT_EQ(counters.sent, sent_before + 2);
}

// Resuming is the streamer's word that the screen is theirs: the state it publishes says the lock
// is over, and a tick after it finds nothing new to publish.
TEST_F(CoreWithWebSocket, ResumingEndsTheScreenLockInTheStateItPublishes)
{
	core.privacy.gate.locked = true;
	core.privacy.shown.screen_locked = true;
	core.runtime.paused = true;
	set_paused(core, false);
	const auto published = std::find_if(fake.vendorEvents.rbegin(), fake.vendorEvents.rend(),
					    [](const auto &event) { return event.type == "state"; });
	ASSERT_NE(published, fake.vendorEvents.rend());
	OBSDataAutoRelease state = obs_data_create_from_json(published->json.c_str());
	OBSDataAutoRelease privacy = obs_data_get_obj(state, "privacy");
	EXPECT_FALSE(obs_data_get_bool(privacy, "screenLocked"));
	EXPECT_FALSE(core.privacy.gate.locked);

	const int states = events_of("state");
	tick(core);
	EXPECT_EQ(events_of("state"), states);
}

TEST_F(CoreWithWebSocket, MouseRecordsBecomeEventsAmongTheKeysOnlyWhileTheMouseIsOn)
{
	const auto tick_now = [this] {
		tick_with(
		    core, [] { return std::uint64_t{1}; }, [](std::uint32_t) { return KeyState::down; });
	};
	const auto sent_before = core.totals.sent;
	// Off (the default): queued buttons and notches are not shown, the keys are.
	push(0x1d, 0xa2, true); // ControlLeft
	push_mouse(RecordKind::button, 0, true);
	push_mouse(RecordKind::wheel, 0, false, -1);
	push(0x1d, 0xa2, false);
	tick_now();
	EXPECT_EQ(stream(), (std::vector<std::string>{"key ControlLeft+ ctrl", "key ControlLeft-"}));
	EXPECT_EQ(core.totals.sent, sent_before + 2);

	obs_data_set_bool(core.settings.data, "mouse", true);
	fake.vendorEvents.clear();
	push(0x1d, 0xa2, true);
	push_mouse(RecordKind::button, 0, true);
	push_mouse(RecordKind::button, 0, true); // said twice: once
	push_mouse(RecordKind::wheel, 0, false, -1);
	push_mouse(RecordKind::wheel, 0, false, -1); // every notch is an event
	push(0x1d, 0xa2, false);
	push_mouse(RecordKind::button, 0, false);
	push_mouse(RecordKind::button, 4, false); // a release never pressed: nothing
	push_mouse(RecordKind::wheel, 0, false, 1);
	tick_now();
	EXPECT_EQ(stream(), (std::vector<std::string>{"key ControlLeft+ ctrl", "mouse 0+ ctrl", "wheel 0,-1 ctrl",
						      "wheel 0,-1 ctrl", "key ControlLeft-", "mouse 0-", "wheel 0,1"}));
	EXPECT_EQ(core.totals.sent, sent_before + 2 + 7);
	EXPECT_EQ(browser_events_of("mouse"), 2);
	EXPECT_EQ(browser_events_of("wheel"), 3);

	// Masked: the button stays, the modifiers go.
	obs_data_set_bool(core.settings.data, "mask", true);
	fake.vendorEvents.clear();
	push(0x1d, 0xa2, true);
	push_mouse(RecordKind::button, 2, true);
	push_mouse(RecordKind::wheel, 0, false, 1);
	tick_now();
	EXPECT_EQ(stream(), (std::vector<std::string>{"key *+", "mouse 2+", "wheel 0,1"}));

	// A pause forgets the held button with the held keys: its release after it says nothing.
	obs_data_set_bool(core.settings.data, "mask", false);
	close_capture_and_forget_keys(core);
	word = bump_generation(key_ring(), true);
	fake.vendorEvents.clear();
	push_mouse(RecordKind::button, 2, false);
	tick_now();
	EXPECT_EQ(stream(), std::vector<std::string>{});
}

} // namespace
} // namespace clackery
