#pragma once
// Records that cross subsystems: the dock and the key text fill text frames, the dock and the
// vendor requests hand option sets to the core, and layouts feed the key text.

#include <cstdint>
#include <string>

namespace clackery {

// One snapshot of a text field for the page. Positions count UTF-16 code units.
struct TextFrame {
	std::string op; // "type", "backspace", "enter", "preedit", "commit" or "clear"
	std::string preedit;
	std::string committed;
	std::string text;
	std::int64_t cursor = 0; // composition cursor inside `preedit`
	std::int64_t caret = 0;  // text cursor inside `text`
};

// A complete set of overlay options as the dock and the vendor requests hand them over.
// Text source and text colour travel beside it.
struct OverlayOptions {
	std::string mode = "both";
	std::string layout = "jis_tkl";
	std::string skin = "cute_strawberry_milk";
	std::string shortcuts = "clipstudio";
	bool speed = true;
	bool heatmap = false;
	bool sound = true;
	bool mask = false;
	bool kana = false;
	bool mouse = false; // the mouse's buttons and wheel beside the keyboard
	std::int32_t sound_volume = 30;
	std::string sound_pack = "shizuka";
	std::string text_font;
	std::int32_t text_lines = 0;
	std::int32_t text_font_size = 0;
	std::int32_t text_width = 0;
	std::string text_direction = "skin";
};

// Key capture's health as the core hands it to the dock and the state object.
struct CaptureReport {
	std::string status = "active"; // "active", "paused" or "failed"
	std::uint32_t error = 0;       // Windows-style code, 0 when nothing is wrong
	std::uint64_t reinstalls = 0;  // system hooks put back since load
	bool has_last_key = false;
	double last_key_age_ms = 0;
	bool elevated_foreground = false; // the focused window's keys cannot be seen
	bool away = false;                // paused by a lock, a user switch or a sleep
};

inline OverlayOptions default_options()
{
	return OverlayOptions{};
}

// One key of a layout file: its code name and what it types without and with Shift.
struct LayoutEntry {
	std::string code;
	std::string label;
	std::string shift;
};

} // namespace clackery
