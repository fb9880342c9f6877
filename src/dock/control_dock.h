#pragma once
// The control dock: the module's only user interface, in Japanese. It keeps no settings of its
// own; every control calls one of the core's callbacks, and the core pushes the state it
// accepted back with show_state, which never calls back.

#include "common/records.h"
#include "common/request_records.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDockWidget;
class QLabel;
class QPixmap;
class QPushButton;
class QScrollArea;

namespace clackery {

class TextInput;
struct TextDockAccess;

class TextDock : public QWidget {
public:
	// Empty callbacks are allowed: their controls then do nothing. The lists and maps are
	// read during construction only.
	TextDock(std::function<void(bool)> set_paused, std::function<void()> toggle_hidden,
		 std::function<void(const TextFrame &)> on_text_frame,
		 std::function<void(const std::string &text_source, const std::string &text_color)> on_text_options,
		 std::function<void(const OverlayOptions &)> on_options, std::function<void()> cycle_mode,
		 const std::vector<std::string> &layout_ids, const std::vector<std::string> &skin_ids,
		 std::function<void()> add_overlay_requested, const std::vector<std::string> &shortcut_ids,
		 const std::map<std::string, std::string> &skin_names,
		 const std::map<std::string, std::string> &sound_packs);
	~TextDock() override;

	// Shows the core's state in every control without calling any callback. `overlay_broadcast`:
	// the overlay's events go to every browser source (an obs-browser without per-source
	// events), which the health line then says.
	void show_state(bool paused, bool hidden, bool capture_running, bool delivery_ready,
			const std::string &text_source, const OverlayOptions &options, const std::string &text_color,
			bool overlay_broadcast = false);

	// After show_state: the status says so while keys are hidden for a password field, and the
	// health line when nothing tells this desktop's password fields.
	void show_privacy(bool masking_password_field, bool password_fields_unwatched);

	// The capture's health under the status line, and the notice while the focused window's keys
	// cannot be seen (hidden otherwise). Calls nothing.
	void show_capture_health(const CaptureReport &report);
	// What the status area shows now, for checks from outside the process.
	DockStatusTexts status_texts() const;

	// The line under the place-overlay button; the overlay placement reports its outcome here.
	void set_placement_message(const std::string &text);

	// True while the text field holds text or a composition: the dock's text then wins.
	bool has_text() const;
	// The text field's frame with op "type", without sending it.
	void current_frame(TextFrame &out);

	// Clicks the stop control (paused) or the start control, as a user would. True when the
	// two controls' enabled states then show `paused`.
	bool press_pause_control(bool paused);
	void press_clear_control();

	// Drive the text field as the input method and the keyboard would. Results are those of
	// the event delivery; select_text always succeeds.
	bool inject_input_method(const std::string &preedit, const std::string &committed, std::int64_t cursor,
				 std::int64_t replacement_start, std::int64_t replacement_length);
	bool simulate_key(const std::string &name, bool shift, bool ctrl);
	bool select_text(std::int64_t caret, std::int64_t anchor);

private:
	friend struct TextDockAccess;
	friend bool render_natural_content(TextDock *dock, QPixmap &pixmap);

	struct ButtonColors {
		const char *normal;
		const char *hover;
		const char *pressed;
		const char *disabled;
	};
	QPushButton *make_action_button(const QString &label, const ButtonColors &colors);
	void build_option_combos(const std::vector<std::string> &layout_ids, const std::vector<std::string> &skin_ids,
				 const std::vector<std::string> &shortcut_ids,
				 const std::map<std::string, std::string> &skin_names,
				 const std::map<std::string, std::string> &sound_packs);
	OverlayOptions options_from_controls() const;

	QPushButton *start_button = nullptr;
	QPushButton *stop_button = nullptr;
	QPushButton *visibility_button = nullptr;
	QPushButton *clear_button = nullptr;
	QLabel *run_status_label = nullptr;
	QLabel *health_label = nullptr;
	QLabel *capture_health_label = nullptr;
	QLabel *elevated_label = nullptr;
	QLabel *text_hint_label = nullptr;
	QLabel *placement_label = nullptr;
	QComboBox *text_source_combo = nullptr;
	QComboBox *text_color_combo = nullptr;
	QComboBox *text_font_combo = nullptr;
	QComboBox *text_lines_combo = nullptr;
	QComboBox *text_size_combo = nullptr;
	QComboBox *text_width_combo = nullptr;
	QComboBox *text_direction_combo = nullptr;
	QComboBox *mode_combo = nullptr;
	QComboBox *layout_combo = nullptr;
	QComboBox *skin_combo = nullptr;
	QComboBox *shortcuts_combo = nullptr;
	QComboBox *sound_pack_combo = nullptr;
	QCheckBox *speed_check = nullptr;
	QCheckBox *sound_check = nullptr;
	QCheckBox *kana_check = nullptr;
	QCheckBox *mouse_check = nullptr; // the mouse beside the keyboard
	QPushButton *mode_cycle_button = nullptr;
	TextInput *text_input = nullptr;
	QWidget *content = nullptr;
	QScrollArea *scroll = nullptr;
};

} // namespace clackery
