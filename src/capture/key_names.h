#pragma once
// Key names: the W3C KeyboardEvent.code of a captured key, taken from the physical scan code (the
// virtual-key code only when there is none), so that names do not depend on the input language.
// Every name is a static string that lives as long as the module.

#include <array>
#include <cstdint>
#include <string_view>

namespace clackery {

struct ScanName {
	std::uint32_t scan_key; // the scan code, plus 0xE000 for a key with the extended flag
	const char *name;
};

extern const std::array<ScanName, 124> SCANCODE_NAMES;

// The name of a key, or null when it has none.
const char *name_key(std::uint32_t scancode, bool extended, std::uint32_t vk);

// The name of a key known only by its virtual-key code, or null.
const char *name_from_vk(std::uint32_t vk, bool extended);

enum class ModifierClass { none, ctrl, shift, alt, win };

ModifierClass modifier_class(std::string_view name);

// The virtual-key code to ask the system about when a key may still be down: the sided code for
// the modifiers, else the recorded one.
std::uint32_t sided_vk(std::string_view name, std::uint32_t recorded_vk);

struct Modifiers {
	bool ctrl = false;
	bool shift = false;
	bool alt = false;
	bool win = false;
};

// Sets the flag of a held key's class, if it has one.
void add_modifier(Modifiers &modifiers, std::string_view name);

// The modifiers of a set of held names: a flag is set when any held name has its class.
template <typename Names> Modifiers modifiers_of(const Names &names)
{
	Modifiers modifiers;
	for (const auto &name : names)
		add_modifier(modifiers, name);
	return modifiers;
}

} // namespace clackery
