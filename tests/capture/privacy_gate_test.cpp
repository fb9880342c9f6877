// The privacy gate between the held keys and the page: keys typed into a password field go out
// concealed, keys right after a focus-moving key wait for the focus to settle, and nothing
// passes while the screen is locked.

#include "capture/privacy_gate.h"

#include <gtest/gtest.h>

#include <string>

namespace clackery {
namespace {

struct Out {
	std::string code;
	bool down;
	bool conceal;
	bool operator==(const Out &other) const
	{
		return code == other.code && down == other.down && conceal == other.conceal;
	}
};

std::ostream &operator<<(std::ostream &stream, const Out &out)
{
	return stream << out.code << (out.down ? " down" : " up") << (out.conceal ? " concealed" : "");
}

KeyEvent key(const char *code, bool down, double t, Modifiers mods = {})
{
	return KeyEvent{code, down, mods, t};
}

std::vector<Out> shapes(const std::vector<GatedKey> &keys)
{
	std::vector<Out> out;
	for (const GatedKey &k : keys)
		out.push_back({k.event.code, k.event.down, k.conceal});
	return out;
}

// The watcher's word as the tick reads it; `at` is the capture clock of each focus change.
struct Desk {
	PrivacyView view;
	Desk()
	{
		view.now.detector = PrivacyDetector::atspi;
		view.now.focus_known = true;
	}
	void change(double at, bool password, bool known)
	{
		view.history.push_back(FocusChange{at, password, known});
		view.now.password_field = password;
		view.now.focus_known = known;
		++view.now.focus_serial;
	}
	void focus(double at, bool password) { change(at, password, true); }
	void lose_focus(double at) { change(at, false, false); }
};

TEST(PrivacyGate, KeysTypedIntoAPasswordFieldNeverComeOutNamedNotEvenTheirReleases)
{
	PrivacyGate gate;
	Desk desk;
	std::vector<GatedKey> out;
	gate_key(gate, key("ShiftLeft", true, 1), desk.view, 0, out);
	desk.focus(5, true);
	gate_key(gate, key("KeyA", true, 10), desk.view, 10, out);
	// The focus leaves (a click elsewhere) before the key is let go.
	desk.focus(15, false);
	gate_key(gate, key("KeyA", false, 20), desk.view, 20, out);
	gate_key(gate, key("ShiftLeft", false, 30), desk.view, 30, out);
	gate_key(gate, key("KeyB", true, 40), desk.view, 40, out);
	EXPECT_EQ(shapes(out), (std::vector<Out>{{"ShiftLeft", true, false},
						 {"KeyA", true, true},
						 {"KeyA", false, true},
						 {"ShiftLeft", false, false},
						 {"KeyB", true, false}}));
}

TEST(PrivacyGate, EachKeyIsJudgedByTheFocusOfItsOwnMomentNotOfWhenTheTickGetsToIt)
{
	// The watcher heard of both focus changes before the tick drained the keys.
	PrivacyGate gate;
	Desk desk;
	desk.focus(100, true);
	desk.focus(200, false);
	std::vector<GatedKey> out;
	for (const double t : {50.0, 150.0, 250.0})
		gate_key(gate, key("KeyK", true, t), desk.view, 300, out);
	EXPECT_EQ(shapes(out), (std::vector<Out>{{"KeyK", true, false}, {"KeyK", true, true}, {"KeyK", true, false}}));
}

TEST(PrivacyGate, TabThenTypingAtOnceWaitsForTheFocusToSettle)
{
	struct Case {
		const char *what;
		bool into_password;   // where the focus lands
		bool settles;         // the watcher reports it
		bool loss_first;      // a focus loss is reported before the gain
		std::uint64_t settle; // tick time of the last check
		bool concealed;       // the keys typed after Tab
	};
	const Case cases[] = {
	    {"into a password field", true, true, true, 5, true},
	    {"into a plain field", false, true, false, 5, false},
	    // A focus that moves somewhere silent: the keys wait out the hold, then go as they are.
	    {"nowhere that says so", false, false, false, PRIVACY_HOLD_MS, false},
	};
	for (const Case &c : cases) {
		PrivacyGate gate;
		Desk desk;
		std::vector<GatedKey> out;
		// The keys after Tab were captured before the watcher heard of the focus (at 12).
		gate_key(gate, key("Tab", true, 1), desk.view, 0, out);
		gate_key(gate, key("KeyP", true, 2), desk.view, 1, out);
		gate_key(gate, key("Tab", false, 3), desk.view, 2, out);
		gate_key(gate, key("KeyP", false, 4), desk.view, 3, out);
		ASSERT_EQ(shapes(out), (std::vector<Out>{{"Tab", true, false}})) << c.what;
		if (c.loss_first) {
			desk.lose_focus(10);
			settle_gate(gate, desk.view, 4, out);
			EXPECT_EQ(out.size(), 1u) << c.what << ": a loss alone has not settled";
		}
		if (c.settles)
			desk.focus(12, c.into_password);
		settle_gate(gate, desk.view, c.settle - 1, out);
		if (!c.settles) {
			EXPECT_EQ(out.size(), 1u) << c.what << ": still holding";
			settle_gate(gate, desk.view, c.settle, out);
		}
		EXPECT_EQ(shapes(out), (std::vector<Out>{{"Tab", true, false},
							 {"KeyP", true, c.concealed},
							 {"Tab", false, false},
							 {"KeyP", false, c.concealed}}))
		    << c.what;
	}
}

TEST(PrivacyGate, ShiftTabOutOfTheFieldIsConcealedAndWhatFollowsIsNamedOnceTheFocusHasLeft)
{
	const Modifiers shift{false, true, false, false};
	PrivacyGate gate;
	Desk desk;
	desk.focus(0, true);
	std::vector<GatedKey> out;
	// Already settled when the tick drains: both focus changes are in the history.
	desk.focus(20, false);
	gate_key(gate, key("KeyX", true, 5), desk.view, 30, out);
	gate_key(gate, key("Tab", true, 10, shift), desk.view, 30, out);
	gate_key(gate, key("KeyQ", true, 11), desk.view, 30, out);
	settle_gate(gate, desk.view, 30, out);
	EXPECT_EQ(shapes(out), (std::vector<Out>{{"KeyX", true, true}, {"Tab", true, true}, {"KeyQ", true, false}}));
}

TEST(PrivacyGate, TwoTabsTypedFasterThanTheirFocusEventsEachWaitForTheirOwn)
{
	const Modifiers shift{false, true, false, false};
	PrivacyGate gate;
	Desk desk;
	std::vector<GatedKey> out;
	// Everything is captured before the first focus event arrives.
	gate_key(gate, key("Tab", true, 1), desk.view, 0, out);
	gate_key(gate, key("KeyX", true, 2), desk.view, 0, out);
	gate_key(gate, key("Tab", true, 3, shift), desk.view, 0, out);
	gate_key(gate, key("KeyQ", true, 4), desk.view, 0, out);
	desk.lose_focus(10);
	desk.focus(11, true);
	settle_gate(gate, desk.view, 5, out);
	EXPECT_EQ(shapes(out), (std::vector<Out>{{"Tab", true, false}, {"KeyX", true, true}, {"Tab", true, true}}))
	    << "the second Tab waits for a focus newer than the first one's";
	desk.lose_focus(20);
	desk.focus(21, false);
	settle_gate(gate, desk.view, 6, out);
	EXPECT_EQ(shapes(out).back(), (Out{"KeyQ", true, false}));
}

TEST(PrivacyGate, OnlyFocusMovingKeysHoldAndOnlyWhenSomethingWatchesTheFocus)
{
	const Modifiers alt{false, false, true, false};
	const Modifiers win{false, false, false, true};
	for (const char *code : {"Tab", "Enter", "NumpadEnter", "Escape", "F6"})
		EXPECT_TRUE(may_move_focus(key(code, true, 0))) << code;
	EXPECT_TRUE(may_move_focus(key("Tab", true, 0, alt)));
	EXPECT_TRUE(may_move_focus(key("F4", true, 0, alt)));
	EXPECT_TRUE(may_move_focus(key("Digit1", true, 0, win)));
	// AltGr types characters: no hold for each of them.
	EXPECT_FALSE(may_move_focus(key("KeyQ", true, 0, alt)));
	EXPECT_FALSE(may_move_focus(key("KeyQ", true, 0)));
	EXPECT_FALSE(may_move_focus(key("Tab", false, 0)));

	PrivacyGate gate;
	Desk desk;
	desk.view.now.detector = PrivacyDetector::none;
	std::vector<GatedKey> out;
	gate_key(gate, key("Tab", true, 0), desk.view, 0, out);
	gate_key(gate, key("KeyA", true, 1), desk.view, 1, out);
	EXPECT_EQ(out.size(), 2u) << "no hold without a watcher";
	// Released at once when the watcher goes away during a hold.
	desk.view.now.detector = PrivacyDetector::atspi;
	gate_key(gate, key("Tab", true, 2), desk.view, 2, out);
	gate_key(gate, key("KeyB", true, 3), desk.view, 3, out);
	desk.view.now.detector = PrivacyDetector::none;
	settle_gate(gate, desk.view, 4, out);
	EXPECT_EQ(out.size(), 4u);
}

TEST(PrivacyGate, ALockedScreenReleasesTheHeldKeysAndLetsNothingThrough)
{
	HeldKeys held;
	KeyTally tally;
	KeyRecord shift{0x2A, 0xA0, false, true, false, 1.0, 0, false};
	KeyRecord a{0x1E, 'A', false, true, false, 2.0, 0, false};
	PrivacyGate gate;
	Desk desk;
	std::vector<GatedKey> out;
	gate_key(gate, *update_held_keys(held, shift, tally), desk.view, 0, out);
	desk.focus(1.5, true);
	gate_key(gate, *update_held_keys(held, a, tally), desk.view, 1, out);

	const std::vector<GatedKey> releases = lock_gate(gate, held, 5.0);
	EXPECT_TRUE(held.empty());
	EXPECT_EQ(shapes(releases), (std::vector<Out>{{"KeyA", false, true}, {"ShiftLeft", false, false}}));
	// As the sweep releases: each with the modifiers of the keys still held after it.
	EXPECT_TRUE(releases[0].event.mods.shift);
	EXPECT_FALSE(releases[1].event.mods.shift);
	out.clear();
	gate_key(gate, key("KeyC", true, 3), desk.view, 2, out);
	EXPECT_TRUE(out.empty());
	unlock_gate(gate);
	desk.focus(4, false);
	gate_key(gate, key("KeyC", true, 5), desk.view, 3, out);
	EXPECT_EQ(shapes(out), (std::vector<Out>{{"KeyC", true, false}}));
}

} // namespace
} // namespace clackery
