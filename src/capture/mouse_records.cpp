#include "capture/mouse_records.h"

#include <cstdlib>

namespace clackery {
namespace {

KeyRecord button_record(std::uint32_t button, bool down)
{
	KeyRecord record;
	record.kind = RecordKind::button;
	record.vk = button;
	record.down = down;
	return record;
}

KeyRecord notch_record(int dx, int dy)
{
	KeyRecord record;
	record.kind = RecordKind::wheel;
	record.dx = static_cast<std::int8_t>(dx);
	record.dy = static_cast<std::int8_t>(dy);
	return record;
}

// Whole notches of `delta` added to `left`, signed; what stays short of a notch stays in `left`.
int take_notches(int &left, int delta)
{
	if ((left > 0 && delta < 0) || (left < 0 && delta > 0))
		left = 0;
	left += delta;
	const int notches = left / WHEEL_NOTCH; // truncates toward zero for both signs
	left -= notches * WHEEL_NOTCH;
	return notches;
}

} // namespace

std::optional<KeyRecord> record_from_x11_button(std::uint32_t button, bool press)
{
	switch (button) {
	case 1:
		return button_record(MOUSE_MAIN, press);
	case 2:
		return button_record(MOUSE_AUXILIARY, press);
	case 3:
		return button_record(MOUSE_SECONDARY, press);
	case 8:
		return button_record(MOUSE_BACK, press);
	case 9:
		return button_record(MOUSE_FORWARD, press);
	default:
		break;
	}
	if (!press)
		return std::nullopt;
	switch (button) {
	case 4:
		return notch_record(0, -1);
	case 5:
		return notch_record(0, 1);
	case 6:
		return notch_record(-1, 0);
	case 7:
		return notch_record(1, 0);
	default:
		return std::nullopt;
	}
}

RawMouseRecords records_from_raw_mouse(std::uint16_t button_flags, std::int16_t button_data, WheelRemainder &remainder)
{
	static constexpr struct {
		std::uint16_t flag;
		std::uint32_t button;
		bool down;
	} transitions[] = {
	    {RAW_LEFT_DOWN, MOUSE_MAIN, true},        {RAW_LEFT_UP, MOUSE_MAIN, false},
	    {RAW_RIGHT_DOWN, MOUSE_SECONDARY, true},  {RAW_RIGHT_UP, MOUSE_SECONDARY, false},
	    {RAW_MIDDLE_DOWN, MOUSE_AUXILIARY, true}, {RAW_MIDDLE_UP, MOUSE_AUXILIARY, false},
	    {RAW_X1_DOWN, MOUSE_BACK, true},          {RAW_X1_UP, MOUSE_BACK, false},
	    {RAW_X2_DOWN, MOUSE_FORWARD, true},       {RAW_X2_UP, MOUSE_FORWARD, false},
	};
	RawMouseRecords out;
	if (button_flags == 0)
		return out;
	for (const auto &transition : transitions) {
		if ((button_flags & transition.flag) != 0)
			out.records[out.count++] = button_record(transition.button, transition.down);
	}
	// The two wheels share the data word; a message carries one of them.
	int notches = 0;
	bool horizontal = false;
	if ((button_flags & RAW_WHEEL) != 0)
		notches = -take_notches(remainder.y, button_data);
	else if ((button_flags & RAW_HWHEEL) != 0) {
		notches = take_notches(remainder.x, button_data);
		horizontal = true;
	}
	const int step = notches < 0 ? -1 : 1;
	for (int i = 0; i < std::abs(notches) && i < static_cast<int>(MAX_NOTCHES_PER_MESSAGE); ++i)
		out.records[out.count++] = horizontal ? notch_record(step, 0) : notch_record(0, step);
	return out;
}

} // namespace clackery
