// The dock shows the core's state. Signals of the option controls are blocked while they are
// set, so the core is never re-entered from here.

#include "common/qt_text.h"
#include "common/skin_names.h"
#include "dock/control_dock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace clackery {
namespace {

void select_value(QComboBox *combo, const QVariant &value)
{
	combo->setCurrentIndex(combo->findData(value));
}

// Values chosen outside the catalogue stay selectable instead of vanishing.
void select_or_append(QComboBox *combo, const std::string &id, const QString &text)
{
	const QString value = utf8_to_qstring(id);
	if (combo->findData(value) < 0)
		combo->addItem(text, value);
	select_value(combo, value);
}

} // namespace

void TextDock::show_state(bool paused, bool hidden, bool capture_running, bool delivery_ready,
			  const std::string &text_source, const OverlayOptions &options, const std::string &text_color)
{
	start_button->setEnabled(paused);
	stop_button->setEnabled(!paused);

	run_status_label->setText(paused ? QStringLiteral("いまは止まっています（キーは配信に出ません）")
					 : QStringLiteral("キーの動きを配信に出しています"));
	text_hint_label->setText(
	    paused ? QStringLiteral("止まっています。打っても配信には出ません")
		   : QStringLiteral("ここに打つと、そのまま配信に出ます。文字がある間はドックが優先です。"));
	visibility_button->setText(hidden ? QStringLiteral("表示する") : QStringLiteral("非表示にする"));

	const QSignalBlocker block_source(text_source_combo);
	const QSignalBlocker block_color(text_color_combo);
	const QSignalBlocker block_font(text_font_combo);
	const QSignalBlocker block_mode(mode_combo);
	const QSignalBlocker block_layout(layout_combo);
	const QSignalBlocker block_shortcuts(shortcuts_combo);
	const QSignalBlocker block_skin(skin_combo);
	const QSignalBlocker block_speed(speed_check);
	const QSignalBlocker block_sound(sound_check);
	const QSignalBlocker block_pack(sound_pack_combo);
	const QSignalBlocker block_kana(kana_check);
	const QSignalBlocker block_mouse(mouse_check);
	const QSignalBlocker block_lines(text_lines_combo);
	const QSignalBlocker block_size(text_size_combo);
	const QSignalBlocker block_width(text_width_combo);
	const QSignalBlocker block_direction(text_direction_combo);

	text_source_combo->setCurrentIndex(text_source == "keys" ? 1 : 0);
	text_color_combo->setCurrentIndex(text_color == "dark" ? 1 : 0);

	const int font = text_font_combo->findData(utf8_to_qstring(options.text_font));
	text_font_combo->setCurrentIndex(font >= 0 ? font : 0);

	int pack = sound_pack_combo->findData(utf8_to_qstring(options.sound_pack));
	if (pack < 0)
		pack = sound_pack_combo->findData(QStringLiteral("shizuka"));
	sound_pack_combo->setCurrentIndex(pack);

	select_value(text_lines_combo, options.text_lines);
	select_value(text_size_combo, options.text_font_size);
	select_value(text_width_combo, options.text_width);
	select_value(text_direction_combo, utf8_to_qstring(options.text_direction));
	select_value(mode_combo, utf8_to_qstring(options.mode));
	select_or_append(layout_combo, options.layout, utf8_to_qstring(options.layout));
	select_or_append(skin_combo, options.skin, utf8_to_qstring(builtin_skin_name(options.skin)));
	select_value(shortcuts_combo, utf8_to_qstring(options.shortcuts));

	speed_check->setChecked(options.speed);
	sound_check->setChecked(options.sound);
	kana_check->setChecked(options.kana);
	mouse_check->setChecked(options.mouse);

	const QString capture =
	    capture_running ? QStringLiteral("キーの受付：動作中") : QStringLiteral("キーを拾えません");
	const QString delivery = delivery_ready ? QStringLiteral("受け渡し：準備できました")
						: QStringLiteral("受け渡し：obs-websocket が見つかりません");
	health_label->setText(capture + QStringLiteral(" ／ ") + delivery);
}

} // namespace clackery
