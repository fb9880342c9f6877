#pragma once
// Text frames to the page: the dock's text field or the text typed through the keys. While
// the dock's field holds any text the dock wins, whatever the text source. UI thread only.

#include "common/records.h"
#include "core/core.h"

namespace clackery {

// The dock calls this after every change of its field.
void on_dock_text(Core &core, const TextFrame &frame);
// The same with the dock's answer to whether its field holds text (or a composition) given.
void relay_dock_text(Core &core, const TextFrame &frame, bool dock_holds_text);

// Sends one frame as a "text" event (dropped and counted while paused).
void send_text_frame(Core &core, const TextFrame &frame);

// The frame the overlay should show now (on resume, after a text source or layout change).
TextFrame current_text_frame(const Core &core);

} // namespace clackery
