#pragma once
// X keycodes as the Windows low-level hook would report the same physical keys: the set-1 scan
// code, the extended flag and the virtual-key code, so that the rest of capture names and tracks
// keys alike on both platforms. Pure tables: no X connection needed.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace clackery {

struct HookKey {
	std::uint32_t scancode = 0; // set-1 scan code without the E0 prefix
	std::uint32_t vk = 0;       // virtual-key code, modifiers sided (VK_LSHIFT 0xA0 ...)
	bool extended = false;      // the E0 prefix
};

// An X keycode is the Linux evdev code plus 8.
constexpr std::uint32_t X11_KEYCODE_OFFSET = 8;

// The key behind an X keycode; empty for keycodes with no Windows counterpart.
std::optional<HookKey> hook_key_from_x11(std::uint32_t keycode);

// The X keycodes that report `vk`. The generic VK_SHIFT, VK_CONTROL and VK_MENU stand for both
// sides, as the system's key state answers them.
std::vector<std::uint32_t> x11_keycodes_for_vk(std::uint32_t vk);

// The X server's key state: one bit per keycode, keycode k at bit k % 8 of byte k / 8.
using X11KeyBits = std::array<std::uint8_t, 32>;

// Whether any keycode that reports `vk` is down in `bits`.
bool x11_vk_is_down(const X11KeyBits &bits, std::uint32_t vk);

} // namespace clackery
