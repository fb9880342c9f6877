#include "capture/privacy_gate.h"

#include <algorithm>
#include <optional>

namespace clackery {
namespace {

bool detects_focus(const PrivacySnapshot &privacy)
{
	return privacy.detector == PrivacyDetector::atspi || privacy.detector == PrivacyDetector::winevent;
}

// A press is concealed when a password field had the focus at its moment; a release as its
// press was, so that a key typed into the field is never named afterwards.
GatedKey decide(PrivacyGate &gate, const KeyEvent &event, const PrivacyView &privacy, double judged_at)
{
	bool conceal = false;
	if (event.down) {
		conceal = password_focused_at(privacy, judged_at);
		if (conceal)
			gate.concealed.insert(event.code);
	} else {
		conceal = gate.concealed.erase(event.code) > 0;
	}
	return GatedKey{event, conceal};
}

// The first focus that an object took after `t` (a loss alone has not settled anywhere).
std::optional<double> settled_after(const PrivacyView &privacy, double t)
{
	for (const FocusChange &change : privacy.history) {
		if (change.t > t && change.known)
			return change.t;
	}
	return std::nullopt;
}

void start_hold(PrivacyGate &gate, const KeyEvent &event, const PrivacyView &privacy, std::uint64_t now_ms)
{
	if (!detects_focus(privacy.now) || !may_move_focus(event))
		return;
	gate.holding = true;
	gate.hold_since = event.t;
	gate.hold_until = now_ms + PRIVACY_HOLD_MS;
}

} // namespace

void refresh_privacy_view(PrivacyView &view, const PrivacyFlags &flags)
{
	const std::uint32_t before = view.now.focus_serial;
	view.now = read_privacy(flags);
	if (view.now.focus_serial != before)
		view.history = read_focus_history(flags);
}

bool password_focused_at(const PrivacyView &view, double t)
{
	for (auto it = view.history.rbegin(); it != view.history.rend(); ++it) {
		if (it->t <= t)
			return it->password;
	}
	// Before every change: the start, with nothing focused as far as we knew, unless older
	// changes were dropped, in which case the oldest kept is the best guess.
	if (view.history.empty())
		return view.now.password_field;
	return view.history.size() >= FocusHistory::kKept && view.history.front().password;
}

bool may_move_focus(const KeyEvent &event)
{
	if (!event.down || !event.code)
		return false;
	const std::string_view code = event.code;
	// The Windows key's shortcuts switch windows; Alt only with these keys (AltGr types).
	if (event.mods.win)
		return true;
	return code == "Tab" || code == "Enter" || code == "NumpadEnter" || code == "Escape" || code == "F6" ||
	       (event.mods.alt && code == "F4");
}

void gate_key(PrivacyGate &gate, const KeyEvent &event, const PrivacyView &privacy, std::uint64_t now_ms,
	      std::vector<GatedKey> &out)
{
	if (gate.locked)
		return;
	if (gate.holding) {
		gate.held_back.push_back(event);
		return;
	}
	out.push_back(decide(gate, event, privacy, event.t));
	start_hold(gate, event, privacy, now_ms);
}

void settle_gate(PrivacyGate &gate, const PrivacyView &privacy, std::uint64_t now_ms, std::vector<GatedKey> &out)
{
	while (gate.holding) {
		// Typed faster than focus events travel, a second Tab may be captured before the first
		// one's focus arrives: each hold waits for a focus newer than the one the last used.
		const std::optional<double> settled =
		    settled_after(privacy, std::max(gate.hold_since, gate.last_settled));
		if (!settled && now_ms < gate.hold_until && detects_focus(privacy.now))
			return;
		gate.holding = false;
		if (settled)
			gate.last_settled = *settled;
		while (!gate.held_back.empty()) {
			const KeyEvent event = gate.held_back.front();
			gate.held_back.pop_front();
			// Typed before the watcher heard of the new focus, yet after the key that moved it.
			out.push_back(decide(gate, event, privacy, settled ? std::max(event.t, *settled) : event.t));
			start_hold(gate, event, privacy, now_ms);
			if (gate.holding)
				break;
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
