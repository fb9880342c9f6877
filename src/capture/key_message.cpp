#include "capture/key_message.h"

namespace clackery {
namespace {
constexpr std::uint64_t TEST_KEY_EXTENDED = 1ull << 24;
constexpr std::uint64_t TEST_KEY_DOWN = 1ull << 25;
constexpr std::uint64_t TEST_KEY_INJECTED = 1ull << 26;
} // namespace

KeyRecord record_from_hook(std::uint32_t vk, std::uint32_t scancode, std::uint32_t flags)
{
	KeyRecord record;
	record.scancode = scancode;
	record.vk = vk;
	record.extended = (flags & HOOK_FLAG_EXTENDED) != 0;
	record.down = (flags & HOOK_FLAG_UP) == 0;
	record.injected = (flags & HOOK_FLAG_INJECTED) != 0;
	return record;
}

std::optional<std::uint64_t> encode_test_key(const KeyRecord &record)
{
	if (record.scancode > 0xFFFF || record.vk > 0xFF)
		return std::nullopt;
	std::uint64_t wparam = record.scancode | (static_cast<std::uint64_t>(record.vk) << 16);
	if (record.extended)
		wparam |= TEST_KEY_EXTENDED;
	if (record.down)
		wparam |= TEST_KEY_DOWN;
	if (record.injected)
		wparam |= TEST_KEY_INJECTED;
	return wparam;
}

KeyRecord decode_test_key(std::uint64_t wparam)
{
	KeyRecord record;
	record.scancode = static_cast<std::uint32_t>(wparam & 0xFFFF);
	record.vk = static_cast<std::uint32_t>((wparam >> 16) & 0xFF);
	record.extended = (wparam & TEST_KEY_EXTENDED) != 0;
	record.down = (wparam & TEST_KEY_DOWN) != 0;
	record.injected = (wparam & TEST_KEY_INJECTED) != 0;
	record.synthetic = true;
	return record;
}

} // namespace clackery
