#include "capture/held_keys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace clackery;

namespace {

// Scan codes of a few keys (set 1).
constexpr std::uint32_t kA = 0x1E, kShiftLeft = 0x2A, kShiftRight = 0x36, kCtrl = 0x1D;

KeyRecord record(std::uint32_t scancode, bool down, bool extended = false, double t = 1.0, bool synthetic = false)
{
	KeyRecord r;
	r.scancode = scancode;
	r.vk = 0;
	r.extended = extended;
	r.down = down;
	r.t = t;
	r.synthetic = synthetic;
	return r;
}

struct Fixture : testing::Test {
	std::optional<KeyEvent> feed(const KeyRecord &r) { return update_held_keys(held, r, tally); }
	HeldKeys held;
	KeyTally tally;
};

} // namespace

TEST_F(Fixture, PressAndReleaseGiveOneEventEachWithTheirTime)
{
	const auto press = feed(record(kA, true, false, 10.5));
	ASSERT_TRUE(press);
	EXPECT_STREQ(press->code, "KeyA");
	EXPECT_TRUE(press->down);
	EXPECT_EQ(press->t, 10.5);
	const auto release = feed(record(kA, false, false, 20.25));
	ASSERT_TRUE(release);
	EXPECT_FALSE(release->down);
	EXPECT_EQ(release->t, 20.25);
	EXPECT_TRUE(held.empty());
}

TEST_F(Fixture, AutoRepeatIsCountedAndDropped)
{
	EXPECT_TRUE(feed(record(kA, true)));
	EXPECT_FALSE(feed(record(kA, true)));
	EXPECT_FALSE(feed(record(kA, true)));
	EXPECT_EQ(tally.repeated, 2u);
	EXPECT_TRUE(feed(record(kA, false)));
}

TEST_F(Fixture, ReleaseNeverPressedAndUnnamedKeysGiveNothing)
{
	EXPECT_FALSE(feed(record(kA, false)));
	EXPECT_EQ(tally.repeated, 0u);
	EXPECT_EQ(tally.unknown, 0u);
	EXPECT_FALSE(feed(record(0x54, true)));
	EXPECT_EQ(tally.unknown, 1u);
}

TEST_F(Fixture, ModifiersFollowTheKeysHeldAfterTheChange)
{
	const auto shift = feed(record(kShiftLeft, true));
	EXPECT_TRUE(shift->mods.shift);
	feed(record(kShiftRight, true));
	const auto ctrl = feed(record(kCtrl, true, true)); // ControlRight
	EXPECT_STREQ(ctrl->code, "ControlRight");
	EXPECT_TRUE(ctrl->mods.ctrl && ctrl->mods.shift);
	EXPECT_FALSE(ctrl->mods.alt || ctrl->mods.win);
	const auto left_up = feed(record(kShiftLeft, false));
	EXPECT_TRUE(left_up->mods.shift) << "ShiftRight is still held";
	const auto right_up = feed(record(kShiftRight, false));
	EXPECT_FALSE(right_up->mods.shift);
}

TEST_F(Fixture, SweepReleasesAfterTwoMissesWithModifiersExcludingTheKey)
{
	feed(record(kShiftLeft, true));
	feed(record(kA, true));
	std::set<std::uint32_t> down = {0xA0}; // the left Shift is still down
	const auto probe = [&](std::uint32_t vk) { return down.count(vk) > 0 ? KeyState::down : KeyState::up; };
	EXPECT_TRUE(sweep_held_keys(held, probe, 100).empty()) << "one miss is not enough";
	const auto released = sweep_held_keys(held, probe, 350);
	ASSERT_EQ(released.size(), 1u);
	EXPECT_STREQ(released[0].code, "KeyA");
	EXPECT_FALSE(released[0].down);
	EXPECT_TRUE(released[0].mods.shift);
	EXPECT_EQ(released[0].t, 350);
	EXPECT_EQ(held.count("ShiftLeft"), 1u);
}

TEST_F(Fixture, AKeyFoundDownAgainStartsCountingAfresh)
{
	feed(record(kA, true));
	bool is_down = false;
	const auto probe = [&](std::uint32_t) { return is_down ? KeyState::down : KeyState::up; };
	sweep_held_keys(held, probe, 1);
	is_down = true;
	sweep_held_keys(held, probe, 2);
	is_down = false;
	EXPECT_TRUE(sweep_held_keys(held, probe, 3).empty());
	EXPECT_EQ(sweep_held_keys(held, probe, 4).size(), 1u);
}

// A probe that got no answer (display gone, reply lost) is no evidence that the key is up.
TEST_F(Fixture, AProbeWithoutAnAnswerNeitherReleasesNorCounts)
{
	using S = KeyState;
	const struct {
		std::vector<KeyState> answers;
		int released_at; // index of the sweep that releases the key, -1: never
	} cases[] = {
	    {{S::unknown, S::unknown, S::unknown, S::unknown}, -1},
	    {{S::up, S::unknown, S::unknown, S::up}, 3},
	    {{S::unknown, S::up, S::unknown, S::up}, 3},
	    {{S::up, S::down, S::up, S::unknown, S::up}, 4},
	};
	for (const auto &c : cases) {
		held.clear();
		feed(record(kA, true));
		int released_at = -1;
		for (std::size_t i = 0; i < c.answers.size(); ++i) {
			const auto probe = [&](std::uint32_t) { return c.answers[i]; };
			if (!sweep_held_keys(held, probe, static_cast<double>(i)).empty() && released_at < 0)
				released_at = static_cast<int>(i);
		}
		EXPECT_EQ(released_at, c.released_at) << "case released at " << c.released_at;
		EXPECT_EQ(held.count("KeyA"), c.released_at < 0 ? 1u : 0u);
	}
}

TEST_F(Fixture, TestKeysAreNeverSwept)
{
	feed(record(kA, true, false, 1, true));
	const auto probe = [](std::uint32_t) { return KeyState::up; };
	for (int i = 0; i < 5; ++i)
		EXPECT_TRUE(sweep_held_keys(held, probe, i).empty());
	EXPECT_TRUE(feed(record(kA, false, false, 9, true)));
}

TEST(MaskedKey, HidesTheNameAndModifiersButKeepsDirectionAndTime)
{
	KeyEvent event{"KeyA", true, Modifiers{true, true, true, true}, 42};
	const KeyEvent copy = masked(event);
	EXPECT_STREQ(copy.code, "*");
	EXPECT_TRUE(copy.down);
	EXPECT_EQ(copy.t, 42);
	EXPECT_FALSE(copy.mods.ctrl || copy.mods.shift || copy.mods.alt || copy.mods.win);
}
