// Mouse records and events: Windows raw-input flags (the values of RAWMOUSE's documented
// RI_MOUSE_* bits, written out here rather than taken from our header), the wheel's notches with
// high-resolution deltas, and the held-button logic with the modifiers of the keys held.

#include "capture/mouse_events.h"
#include "capture/mouse_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace clackery {
namespace {

// "b3+" a press of button 3, "b3-" its release, "w0,-1" a notch.
std::string describe(const KeyRecord &record)
{
	if (record.kind == RecordKind::button)
		return "b" + std::to_string(record.vk) + (record.down ? "+" : "-");
	if (record.kind == RecordKind::wheel)
		return "w" + std::to_string(record.dx) + "," + std::to_string(record.dy);
	return "key";
}

std::vector<std::string> describe(const RawMouseRecords &made)
{
	std::vector<std::string> out;
	for (std::size_t i = 0; i < made.count; ++i)
		out.push_back(describe(made.records[i]));
	return out;
}

using Names = std::vector<std::string>;

TEST(RawMouse, ButtonFlagsAndWholeNotchesBecomeRecords)
{
	WheelRemainder left;
	const struct {
		std::uint16_t flags;
		std::int16_t data;
		Names expected;
	} cases[] = {
	    {0x0000, 0, {}},      // movement only
	    {0x0001, 0, {"b0+"}}, // RI_MOUSE_LEFT_BUTTON_DOWN
	    {0x0002, 0, {"b0-"}}, // RI_MOUSE_LEFT_BUTTON_UP
	    {0x0004, 0, {"b2+"}}, // right: MouseEvent's secondary
	    {0x0008, 0, {"b2-"}},
	    {0x0010, 0, {"b1+"}}, // middle: auxiliary
	    {0x0020, 0, {"b1-"}},
	    {0x0040, 0, {"b3+"}}, // XBUTTON1: back
	    {0x0080, 0, {"b3-"}},
	    {0x0100, 0, {"b4+"}}, // XBUTTON2: forward
	    {0x0200, 0, {"b4-"}},
	    {0x0001 | 0x0008, 0, {"b0+", "b2-"}},       // two in one message
	    {0x0400, 120, {"w0,-1"}},                   // RI_MOUSE_WHEEL forward: up
	    {0x0400, -120, {"w0,1"}},                   // back: down
	    {0x0400, 360, {"w0,-1", "w0,-1", "w0,-1"}}, // a fast turn
	    {0x0800, 120, {"w1,0"}},                    // RI_MOUSE_HWHEEL: right
	    {0x0800, -240, {"w-1,0", "w-1,0"}},         // left
	    {0x0002 | 0x0400, -120, {"b0-", "w0,1"}},   // a button and the wheel together
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.flags);
		EXPECT_EQ(describe(records_from_raw_mouse(c.flags, c.data, left)), c.expected);
	}
}

TEST(RawMouse, HighResolutionDeltasAreSummedIntoWholeNotches)
{
	WheelRemainder left;
	// Thirty a step: the fourth step completes a notch up, and what stays over is kept.
	EXPECT_EQ(describe(records_from_raw_mouse(0x0400, 30, left)), Names{});
	EXPECT_EQ(describe(records_from_raw_mouse(0x0400, 30, left)), Names{});
	EXPECT_EQ(describe(records_from_raw_mouse(0x0400, 30, left)), Names{});
	EXPECT_EQ(describe(records_from_raw_mouse(0x0400, 50, left)), Names{"w0,-1"});
	EXPECT_EQ(left.y, 20);
	// Turning back forgets the part notch of the other way: -100 is short of a notch down.
	EXPECT_EQ(describe(records_from_raw_mouse(0x0400, -100, left)), Names{});
	EXPECT_EQ(describe(records_from_raw_mouse(0x0400, -20, left)), Names{"w0,1"});
	EXPECT_EQ(left.y, 0);
	// The axes keep their own remainders.
	EXPECT_EQ(describe(records_from_raw_mouse(0x0800, 60, left)), Names{});
	EXPECT_EQ(describe(records_from_raw_mouse(0x0400, 60, left)), Names{});
	EXPECT_EQ(describe(records_from_raw_mouse(0x0800, 60, left)), Names{"w1,0"});
	// A wildly large delta is capped, never overruns the record array.
	EXPECT_EQ(records_from_raw_mouse(0x0400, 32767, left).count, MAX_NOTCHES_PER_MESSAGE);
}

TEST(X11Mouse, ButtonNumbersMapToMouseEventButtonsAndNotches)
{
	const struct {
		std::uint32_t button;
		bool press;
		const char *expected; // null: no record
	} cases[] = {
	    {1, true, "b0+"},  {1, false, "b0-"},   {2, true, "b1+"},    {3, true, "b2+"},   {3, false, "b2-"},
	    {8, true, "b3+"},  {9, false, "b4-"},   {4, true, "w0,-1"},  {5, true, "w0,1"},  {6, true, "w-1,0"},
	    {7, true, "w1,0"}, {4, false, nullptr}, {7, false, nullptr}, {0, true, nullptr}, {10, true, nullptr},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.button);
		const auto record = record_from_x11_button(c.button, c.press);
		EXPECT_EQ(record ? describe(*record) : "none", c.expected ? c.expected : "none");
	}
}

KeyRecord key(std::uint32_t scancode, bool down)
{
	KeyRecord record;
	record.scancode = scancode;
	record.down = down;
	return record;
}

KeyRecord button(std::uint32_t number, bool down, double t = 0)
{
	KeyRecord record;
	record.kind = RecordKind::button;
	record.vk = number;
	record.down = down;
	record.t = t;
	return record;
}

TEST(MouseEvents, ButtonsComeOnceEachWithTheModifiersHeldThen)
{
	HeldKeys keys;
	HeldButtons buttons{};
	KeyTally tally;
	update_held_keys(keys, key(0x1D, true), tally); // ControlLeft
	update_held_keys(keys, key(0x38, true), tally); // AltLeft
	auto event = mouse_event(buttons, keys, button(0, true, 12.5));
	ASSERT_TRUE(event);
	EXPECT_EQ(event->kind, RecordKind::button);
	EXPECT_EQ(event->button, 0u);
	EXPECT_TRUE(event->down);
	EXPECT_EQ(event->t, 12.5);
	EXPECT_TRUE(event->mods.ctrl);
	EXPECT_TRUE(event->mods.alt);
	EXPECT_FALSE(event->mods.shift);
	EXPECT_FALSE(event->mods.win);
	// X11 may say a transition twice; a release never pressed (held before capture) says nothing.
	EXPECT_FALSE(mouse_event(buttons, keys, button(0, true)));
	EXPECT_FALSE(mouse_event(buttons, keys, button(4, false)));
	EXPECT_FALSE(mouse_event(buttons, keys, button(5, true))) << "no such button";

	update_held_keys(keys, key(0x1D, false), tally);
	event = mouse_event(buttons, keys, button(0, false));
	ASSERT_TRUE(event);
	EXPECT_FALSE(event->down);
	EXPECT_FALSE(event->mods.ctrl);
	EXPECT_TRUE(event->mods.alt);
	EXPECT_FALSE(masked(*event).mods.alt);
	EXPECT_EQ(masked(*event).button, 0u);
	EXPECT_FALSE(mouse_event(buttons, keys, button(0, false)));
}

TEST(MouseEvents, EveryNotchIsAnEventAndKeysAreNotMouseEvents)
{
	HeldKeys keys;
	HeldButtons buttons{};
	KeyTally tally;
	update_held_keys(keys, key(0x2A, true), tally); // ShiftLeft
	KeyRecord notch;
	notch.kind = RecordKind::wheel;
	notch.dy = -1;
	for (int i = 0; i < 3; ++i) {
		const auto event = mouse_event(buttons, keys, notch);
		ASSERT_TRUE(event);
		EXPECT_EQ(event->kind, RecordKind::wheel);
		EXPECT_EQ(event->dx, 0);
		EXPECT_EQ(event->dy, -1);
		EXPECT_TRUE(event->mods.shift);
	}
	notch.dx = 1;
	EXPECT_FALSE(mouse_event(buttons, keys, notch)) << "one axis a notch";
	notch.dx = notch.dy = 0;
	EXPECT_FALSE(mouse_event(buttons, keys, notch));
	EXPECT_FALSE(mouse_event(buttons, keys, key(0x1E, true)));
}

} // namespace
} // namespace clackery
