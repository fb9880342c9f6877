#pragma once
// Text typed through the captured keys (the "keys" text source): plain presses of text keys
// type the installed layout's printable ASCII labels; Space, Enter and Backspace edit.

#include "capture/held_keys.h"
#include "common/records.h"

#include <optional>
#include <string_view>
#include <vector>

namespace clackery {

struct KeysText {
	std::vector<char32_t> code_points; // at most 4000
};

bool is_text_key_code(std::string_view code);

struct KeyTypingContext {
	bool keys_mode = false;     // the text source is "keys"
	bool dock_has_text = false; // the dock's own text wins while it has any
	bool mask = false;
	const std::vector<LayoutEntry> *layout = nullptr;
	// Typed into a password field: what it types is kept as a "•", so that no later frame,
	// masked or not, can reveal it.
	bool conceal = false;
};

// Applies one key event to the text; the frame to send, or none when nothing was typed.
std::optional<TextFrame> type_from_key(KeysText &text, const KeyEvent &event, const KeyTypingContext &context);

// The text alone as a frame (op "type", nothing committed), caret at the end.
TextFrame keys_text_frame(const KeysText &text, bool mask);
void clear_keys_text(KeysText &text);

} // namespace clackery
