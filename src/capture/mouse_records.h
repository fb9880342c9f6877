#pragma once
// How mouse buttons and wheel notches become ring records: from X11's raw button numbers and
// from the button flags of Windows raw input. Movement never becomes a record.

#include "capture/key_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace clackery {

// MouseEvent.button numbers.
constexpr std::uint32_t MOUSE_MAIN = 0;
constexpr std::uint32_t MOUSE_AUXILIARY = 1;
constexpr std::uint32_t MOUSE_SECONDARY = 2;
constexpr std::uint32_t MOUSE_BACK = 3;
constexpr std::uint32_t MOUSE_FORWARD = 4;
constexpr std::uint32_t MOUSE_BUTTON_COUNT = 5;

// An X11 button transition: 1 main, 2 auxiliary, 3 secondary, 8 back, 9 forward; a press of 4 to
// 7 is one wheel notch up, down, left, right (their releases carry nothing). Other buttons have
// no meaning of ours. Not synthetic, no time yet.
std::optional<KeyRecord> record_from_x11_button(std::uint32_t button, bool press);

// Bits of RAWMOUSE::usButtonFlags.
constexpr std::uint16_t RAW_LEFT_DOWN = 0x0001;
constexpr std::uint16_t RAW_LEFT_UP = 0x0002;
constexpr std::uint16_t RAW_RIGHT_DOWN = 0x0004;
constexpr std::uint16_t RAW_RIGHT_UP = 0x0008;
constexpr std::uint16_t RAW_MIDDLE_DOWN = 0x0010;
constexpr std::uint16_t RAW_MIDDLE_UP = 0x0020;
constexpr std::uint16_t RAW_X1_DOWN = 0x0040;
constexpr std::uint16_t RAW_X1_UP = 0x0080;
constexpr std::uint16_t RAW_X2_DOWN = 0x0100;
constexpr std::uint16_t RAW_X2_UP = 0x0200;
constexpr std::uint16_t RAW_WHEEL = 0x0400;
constexpr std::uint16_t RAW_HWHEEL = 0x0800;
constexpr int WHEEL_NOTCH = 120; // WHEEL_DELTA

// What a high-resolution wheel has turned short of a whole notch, per axis. Hook thread only.
struct WheelRemainder {
	int x = 0;
	int y = 0;
};

// At most every button's press and release, and the notches of one message.
constexpr std::size_t MAX_NOTCHES_PER_MESSAGE = 16;
struct RawMouseRecords {
	std::array<KeyRecord, 2 * MOUSE_BUTTON_COUNT + MAX_NOTCHES_PER_MESSAGE> records{};
	std::size_t count = 0;
};

// The records of one raw mouse message, in the order the flags list them (presses before
// releases of the same message, then the wheel). Wheel data is summed with what earlier messages
// left over, and each whole notch is a record: forward (positive) is up, dy -1; a tilt right
// (positive) is dx +1. A turn the other way first forgets the remainder. A message of movement
// alone gives no record.
RawMouseRecords records_from_raw_mouse(std::uint16_t button_flags, std::int16_t button_data, WheelRemainder &remainder);

} // namespace clackery
