// The witness's matching and the elevated-window rule, apart from any system source.

#include "capture/elevation.h"
#include "capture/held_keys.h"
#include "capture/witness_match.h"

#include <gtest/gtest.h>

#include <string>

namespace clackery {
namespace {

SeenKey key(std::uint32_t scancode, std::uint32_t vk, bool down, bool extended = false)
{
	SeenKey seen;
	seen.scancode = scancode;
	seen.vk = vk;
	seen.down = down;
	seen.extended = extended;
	return seen;
}

TEST(WitnessMatch, TransitionsPairAcrossTheSourcesNamings)
{
	// The hook says left Shift (0xA0), raw input says Shift (0x10).
	EXPECT_TRUE(same_transition(key(0x2A, 0xA0, true), key(0x2A, 0x10, true)));
	EXPECT_TRUE(same_transition(key(0x1D, 0xA3, true, true), key(0x1D, 0xA3, true, true)));
	// NumLock: the hook sets the extended flag, raw input does not.
	EXPECT_TRUE(same_transition(key(0x45, 0x90, false, true), key(0x45, 0x90, false, false)));
	// A source without scan code pairs by key alone.
	EXPECT_TRUE(same_transition(key(0, 'A', true), key(0x1E, 'A', true)));
	EXPECT_FALSE(same_transition(key(0x1E, 'A', true), key(0x1E, 'A', false)));
	EXPECT_FALSE(same_transition(key(0x2A, 0xA0, true), key(0x2A, 0x11, true)));
	EXPECT_FALSE(same_transition(key(0x1C, 0x0D, true), key(0x1D, 0x0D, true)));
}

TEST(WitnessMatch, EitherSourceMayComeFirst)
{
	WitnessMatcher matcher;
	matcher.hook_saw(key(0x1E, 'A', true), 0);
	matcher.witness_saw(key(0x1E, 'A', true), 1);
	matcher.witness_saw(key(0x1E, 'A', false), 2);
	EXPECT_TRUE(matcher.deadline().has_value());
	matcher.hook_saw(key(0x1E, 'A', false), 100);
	EXPECT_FALSE(matcher.deadline().has_value());
	EXPECT_EQ(matcher.verdict(10000), WitnessVerdict::waiting);
}

TEST(WitnessMatch, SilenceOfTheHookAfterAMissedKeyMeansItIsGone)
{
	WitnessMatcher matcher;
	matcher.hook_saw(key(0x1E, 'A', true), 0);
	matcher.witness_saw(key(0x1E, 'A', true), 1);
	matcher.witness_saw(key(0x30, 'B', true), 10);
	matcher.witness_saw(key(0x30, 'B', false), 20);
	ASSERT_TRUE(matcher.deadline().has_value());
	EXPECT_DOUBLE_EQ(*matcher.deadline(), 10 + WITNESS_WINDOW_MS);
	EXPECT_EQ(matcher.verdict(10 + WITNESS_WINDOW_MS - 1), WitnessVerdict::waiting);
	EXPECT_EQ(matcher.verdict(10 + WITNESS_WINDOW_MS), WitnessVerdict::hook_gone);
	const std::vector<SeenKey> gap = matcher.take_unmatched();
	ASSERT_EQ(gap.size(), 2u);
	EXPECT_TRUE(gap[0].down);
	EXPECT_FALSE(gap[1].down);
	EXPECT_FALSE(matcher.deadline().has_value());
}

TEST(WitnessMatch, AHookThatReportsLaterKeysLivesAndPassedOneBy)
{
	WitnessMatcher matcher;
	matcher.witness_saw(key(0x1E, 'A', true), 0);
	matcher.witness_saw(key(0x30, 'B', true), 5);
	matcher.hook_saw(key(0x30, 'B', true), 6);
	EXPECT_EQ(matcher.verdict(WITNESS_WINDOW_MS), WitnessVerdict::skipped);
}

TEST(WitnessMatch, AnOldHookSightingDoesNotPairWithALaterKey)
{
	WitnessMatcher matcher;
	// The witness never reported the hook's key (it came before the witness started).
	matcher.hook_saw(key(0x1E, 'A', true), 0);
	matcher.witness_saw(key(0x1E, 'A', true), WITNESS_WINDOW_MS + 1);
	EXPECT_EQ(matcher.unmatched(), 1u);
}

TEST(WitnessMatch, ABurstBeyondTheLimitIsOverdueAtOnce)
{
	WitnessMatcher matcher;
	for (std::size_t i = 0; i < WITNESS_PENDING_LIMIT; ++i)
		matcher.witness_saw(key(0x1E, 'A', i % 2 == 0), 1);
	EXPECT_EQ(matcher.verdict(1), WitnessVerdict::hook_gone);
}

TEST(Elevation, OnlyAHigherOrUnaskableForegroundHidesKeys)
{
	const IntegrityReading medium{true, INTEGRITY_MEDIUM, false};
	const IntegrityReading high{true, INTEGRITY_HIGH, false};
	const IntegrityReading system{true, INTEGRITY_SYSTEM, false};
	const IntegrityReading denied{false, 0, true};
	const IntegrityReading none{};
	EXPECT_TRUE(foreground_is_elevated(medium, high));
	EXPECT_TRUE(foreground_is_elevated(medium, system));
	EXPECT_TRUE(foreground_is_elevated(medium, denied));
	EXPECT_TRUE(foreground_is_elevated(high, denied));
	EXPECT_FALSE(foreground_is_elevated(medium, medium));
	EXPECT_FALSE(foreground_is_elevated(high, high)); // OBS run as administrator sees them
	EXPECT_FALSE(foreground_is_elevated(high, medium));
	EXPECT_FALSE(foreground_is_elevated(system, denied));
	EXPECT_FALSE(foreground_is_elevated(medium, none)); // no foreground window
	EXPECT_FALSE(foreground_is_elevated(none, high));   // our own level unknown: nothing to say
}

TEST(HeldKeys, AnAbsenceReleasesEveryHeldKeyWithFallingModifiers)
{
	HeldKeys held;
	KeyTally tally;
	KeyRecord ctrl;
	ctrl.scancode = 0x1D;
	ctrl.vk = 0xA2;
	ctrl.down = true;
	KeyRecord l = ctrl;
	l.scancode = 0x26;
	l.vk = 'L';
	KeyRecord test = l;
	test.scancode = 0x1E;
	test.vk = 'A';
	test.synthetic = true;
	ASSERT_TRUE(update_held_keys(held, ctrl, tally));
	ASSERT_TRUE(update_held_keys(held, l, tally));
	ASSERT_TRUE(update_held_keys(held, test, tally));
	const std::vector<KeyEvent> released = release_all_held_keys(held, 42);
	ASSERT_EQ(released.size(), 3u);
	EXPECT_TRUE(held.empty());
	EXPECT_EQ(std::string(released[0].code), "ControlLeft");
	EXPECT_FALSE(released[0].mods.ctrl);
	EXPECT_EQ(std::string(released[1].code), "KeyA");
	EXPECT_EQ(std::string(released[2].code), "KeyL");
	for (const KeyEvent &event : released) {
		EXPECT_FALSE(event.down);
		EXPECT_DOUBLE_EQ(event.t, 42);
	}
}

} // namespace
} // namespace clackery
