#include "capture/mouse_events.h"

namespace clackery {

std::optional<MouseEvent> mouse_event(HeldButtons &buttons, const HeldKeys &keys, const KeyRecord &record)
{
	MouseEvent event;
	event.kind = record.kind;
	event.t = record.t;
	if (record.kind == RecordKind::button) {
		if (record.vk >= buttons.size() || buttons[record.vk] == record.down)
			return std::nullopt;
		buttons[record.vk] = record.down;
		event.button = record.vk;
		event.down = record.down;
	} else if (record.kind == RecordKind::wheel) {
		if ((record.dx == 0) == (record.dy == 0))
			return std::nullopt;
		event.dx = record.dx < 0 ? -1 : record.dx > 0 ? 1 : 0;
		event.dy = record.dy < 0 ? -1 : record.dy > 0 ? 1 : 0;
	} else {
		return std::nullopt;
	}
	event.mods = held_modifiers(keys);
	return event;
}

MouseEvent masked(const MouseEvent &event)
{
	MouseEvent copy = event;
	copy.mods = Modifiers{};
	return copy;
}

} // namespace clackery
