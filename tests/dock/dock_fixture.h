#pragma once
// A dock built with recording callbacks, and the dock's controls for the tests to reach.

#include "common/records.h"
#include "dock/control_dock.h"
#include "dock/text_input.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace clackery {

struct TextDockAccess {
	explicit TextDockAccess(TextDock &dock)
	    : start_button(dock.start_button), stop_button(dock.stop_button), visibility_button(dock.visibility_button),
	      clear_button(dock.clear_button), run_status_label(dock.run_status_label), health_label(dock.health_label),
	      capture_health_label(dock.capture_health_label), elevated_label(dock.elevated_label),
	      text_hint_label(dock.text_hint_label), placement_label(dock.placement_label),
	      text_source_combo(dock.text_source_combo), text_color_combo(dock.text_color_combo),
	      text_font_combo(dock.text_font_combo), text_lines_combo(dock.text_lines_combo),
	      text_size_combo(dock.text_size_combo), text_width_combo(dock.text_width_combo),
	      text_direction_combo(dock.text_direction_combo), mode_combo(dock.mode_combo),
	      layout_combo(dock.layout_combo), skin_combo(dock.skin_combo), shortcuts_combo(dock.shortcuts_combo),
	      sound_pack_combo(dock.sound_pack_combo), speed_check(dock.speed_check), sound_check(dock.sound_check),
	      kana_check(dock.kana_check), mouse_check(dock.mouse_check), mode_cycle_button(dock.mode_cycle_button),
	      text_input(dock.text_input), content(dock.content), scroll(dock.scroll)
	{
	}

	QPushButton *start_button;
	QPushButton *stop_button;
	QPushButton *visibility_button;
	QPushButton *clear_button;
	QLabel *run_status_label;
	QLabel *health_label;
	QLabel *capture_health_label;
	QLabel *elevated_label;
	QLabel *text_hint_label;
	QLabel *placement_label;
	QComboBox *text_source_combo;
	QComboBox *text_color_combo;
	QComboBox *text_font_combo;
	QComboBox *text_lines_combo;
	QComboBox *text_size_combo;
	QComboBox *text_width_combo;
	QComboBox *text_direction_combo;
	QComboBox *mode_combo;
	QComboBox *layout_combo;
	QComboBox *skin_combo;
	QComboBox *shortcuts_combo;
	QComboBox *sound_pack_combo;
	QCheckBox *speed_check;
	QCheckBox *sound_check;
	QCheckBox *kana_check;
	QCheckBox *mouse_check;
	QPushButton *mode_cycle_button;
	TextInput *text_input;
	QWidget *content;
	QScrollArea *scroll;
};

// Everything the dock called, in order per callback.
struct DockCalls {
	std::vector<bool> paused;
	int hide_toggles = 0;
	std::vector<TextFrame> frames;
	std::vector<std::pair<std::string, std::string>> text_options;
	std::vector<OverlayOptions> options;
	int mode_cycles = 0;
	int overlay_requests = 0;

	std::size_t option_calls() const { return text_options.size() + options.size(); }
};

struct DockLists {
	std::vector<std::string> layout_ids{"jis_tkl", "us_full"};
	std::vector<std::string> skin_ids{"cute_strawberry_milk", "cute_bunny", "navy_gold", "default"};
	std::vector<std::string> shortcut_ids{"none", "clipstudio", "sai", "photoshop"};
	std::map<std::string, std::string> skin_names{{"cute_strawberry_milk", "いちごミルク"},
						      {"cute_bunny", "うさぎ"}};
	std::map<std::string, std::string> sound_packs{{"kotokoto", "ことこと"}, {"shizuka", "しずか"}};
};

inline std::unique_ptr<TextDock> make_recording_dock(DockCalls &calls, const DockLists &lists = DockLists())
{
	return std::make_unique<TextDock>(
	    [&calls](bool paused) { calls.paused.push_back(paused); }, [&calls] { ++calls.hide_toggles; },
	    [&calls](const TextFrame &frame) { calls.frames.push_back(frame); },
	    [&calls](const std::string &source, const std::string &color) {
		    calls.text_options.emplace_back(source, color);
	    },
	    [&calls](const OverlayOptions &options) { calls.options.push_back(options); },
	    [&calls] { ++calls.mode_cycles; }, lists.layout_ids, lists.skin_ids, [&calls] { ++calls.overlay_requests; },
	    lists.shortcut_ids, lists.skin_names, lists.sound_packs);
}

// Runs what the field deferred to the next pass of the event loop.
inline void run_event_loop_once()
{
	QCoreApplication::sendPostedEvents();
	QCoreApplication::processEvents();
}

inline bool same_options(const OverlayOptions &a, const OverlayOptions &b)
{
	return a.mode == b.mode && a.layout == b.layout && a.skin == b.skin && a.shortcuts == b.shortcuts &&
	       a.speed == b.speed && a.heatmap == b.heatmap && a.sound == b.sound && a.mask == b.mask &&
	       a.kana == b.kana && a.mouse == b.mouse && a.sound_volume == b.sound_volume &&
	       a.sound_pack == b.sound_pack && a.text_font == b.text_font && a.text_lines == b.text_lines &&
	       a.text_font_size == b.text_font_size && a.text_width == b.text_width &&
	       a.text_direction == b.text_direction;
}

} // namespace clackery
