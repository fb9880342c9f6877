#include "capture/privacy_gate.h"

namespace clackery {
namespace {

bool detects_focus(const PrivacySnapshot &privacy)
{
	return privacy.detector == PrivacyDetector::atspi || privacy.detector == PrivacyDetector::winevent;
}

// A press is concealed while the focus is in a password field; a release as its press was, so
// that a key typed into the field is never named afterwards.
GatedKey decide(PrivacyGate &gate, const KeyEvent &event, const PrivacySnapshot &privacy)
{
	bool conceal = false;
	if (event.down) {
		conceal = privacy.password_field;
		if (conceal)
			gate.concealed.insert(event.code);
	} else {
		conceal = gate.concealed.erase(event.code) > 0;
	}
	return GatedKey{event, conceal};
}

Modifiers held_modifiers(const HeldKeys &held)
{
	Modifiers mods;
	for (const auto &entry : held)
		add_modifier(mods, entry.first);
	return mods;
}

} // namespace

bool may_move_focus(const KeyEvent &event)
{
	if (!event.down || !event.code)
		return false;
	const std::string_view code = event.code;
	if (event.mods.alt || event.mods.win)
		return true;
	return code == "Tab" || code == "Enter" || code == "NumpadEnter" || code == "Escape" || code == "F6";
}

void gate_key(PrivacyGate &gate, const KeyEvent &event, const PrivacySnapshot &privacy, std::uint64_t now_ms,
	      std::vector<GatedKey> &out)
{
	if (gate.locked)
		return;
	if (gate.holding) {
		gate.held_back.push_back(event);
		return;
	}
	out.push_back(decide(gate, event, privacy));
	if (detects_focus(privacy) && may_move_focus(event)) {
		gate.holding = true;
		gate.hold_serial = privacy.focus_serial;
		gate.hold_until = now_ms + PRIVACY_HOLD_MS;
	}
}

void settle_gate(PrivacyGate &gate, const PrivacySnapshot &privacy, std::uint64_t now_ms, std::vector<GatedKey> &out)
{
	if (!gate.holding)
		return;
	const bool settled = privacy.focus_serial != gate.hold_serial && privacy.focus_known;
	if (!settled && now_ms < gate.hold_until && detects_focus(privacy))
		return;
	gate.holding = false;
	std::deque<KeyEvent> waiting;
	waiting.swap(gate.held_back);
	// One of them may move the focus again: it holds the rest anew.
	while (!waiting.empty()) {
		const KeyEvent event = waiting.front();
		waiting.pop_front();
		gate_key(gate, event, privacy, now_ms, out);
		if (gate.holding) {
			gate.held_back.insert(gate.held_back.end(), waiting.begin(), waiting.end());
			return;
		}
	}
}

std::vector<GatedKey> lock_gate(PrivacyGate &gate, HeldKeys &held, double t)
{
	std::vector<GatedKey> releases;
	while (!held.empty()) {
		const char *name = held.begin()->second.name;
		held.erase(held.begin());
		const bool conceal = gate.concealed.count(name) > 0;
		releases.push_back(GatedKey{KeyEvent{name, false, held_modifiers(held), t}, conceal});
	}
	clear_gate(gate);
	gate.locked = true;
	return releases;
}

void unlock_gate(PrivacyGate &gate)
{
	gate.locked = false;
}

void clear_gate(PrivacyGate &gate)
{
	gate.concealed.clear();
	gate.held_back.clear();
	gate.holding = false;
}

} // namespace clackery
