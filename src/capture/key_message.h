#pragma once
// How key transitions arrive on the hook thread: the system hook's flags and the test key
// message's wParam.

#include "capture/key_record.h"

#include <cstdint>
#include <optional>

namespace clackery {

// Bits of the low-level hook's flags.
constexpr std::uint32_t HOOK_FLAG_EXTENDED = 0x01;
constexpr std::uint32_t HOOK_FLAG_INJECTED = 0x10;
constexpr std::uint32_t HOOK_FLAG_UP = 0x80;

// A record of the system hook: not synthetic, no time yet.
KeyRecord record_from_hook(std::uint32_t vk, std::uint32_t scancode, std::uint32_t flags);

// wParam of WM_CLACKERY_TEST_KEY: bits 0-15 scancode, 16-23 vk, 24 extended, 25 down,
// 26 injected. Empty when the scancode or the vk does not fit.
std::optional<std::uint64_t> encode_test_key(const KeyRecord &record);

// The record a test key message stands for: synthetic, no time yet.
KeyRecord decode_test_key(std::uint64_t wparam);

} // namespace clackery
