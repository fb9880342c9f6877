#include "capture/held_keys.h"

namespace clackery {

Modifiers held_modifiers(const HeldKeys &held)
{
	Modifiers mods;
	for (const auto &entry : held)
		add_modifier(mods, entry.first);
	return mods;
}

std::optional<KeyEvent> update_held_keys(HeldKeys &held, const KeyRecord &record, KeyTally &tally)
{
	const char *name = name_key(record.scancode, record.extended, record.vk);
	if (!name) {
		++tally.unknown;
		return std::nullopt;
	}
	const auto found = held.find(name);
	if (record.down) {
		if (found != held.end()) {
			++tally.repeated;
			return std::nullopt;
		}
		held.emplace(name, HeldKey{record, name, 0});
	} else {
		// A key pressed before capture began, or already released by the sweep.
		if (found == held.end())
			return std::nullopt;
		held.erase(found);
	}
	return KeyEvent{name, record.down, held_modifiers(held), record.t};
}

std::vector<KeyEvent> sweep_held_keys(HeldKeys &held, const std::function<KeyState(std::uint32_t vk)> &key_state,
				      double t)
{
	std::vector<KeyEvent> released;
	for (auto it = held.begin(); it != held.end();) {
		HeldKey &key = it->second;
		if (key.record.synthetic) {
			++it;
			continue;
		}
		const KeyState state = key_state(sided_vk(key.name, key.record.vk));
		if (state != KeyState::up) {
			// Unknown leaves the count as it was: a failed probe is no evidence either way.
			if (state == KeyState::down)
				key.misses = 0;
			++it;
			continue;
		}
		if (++key.misses < 2) {
			++it;
			continue;
		}
		const char *name = key.name;
		it = held.erase(it);
		released.push_back(KeyEvent{name, false, held_modifiers(held), t});
	}
	return released;
}

std::vector<KeyEvent> release_all_held_keys(HeldKeys &held, double t)
{
	std::vector<KeyEvent> released;
	while (!held.empty()) {
		const char *name = held.begin()->second.name;
		held.erase(held.begin());
		released.push_back(KeyEvent{name, false, held_modifiers(held), t});
	}
	return released;
}

KeyEvent masked(const KeyEvent &event)
{
	return KeyEvent{"*", event.down, Modifiers{}, event.t};
}

} // namespace clackery
