#include "dock/control_dock.h"

#include "common/qt_text.h"
#include "dock/text_input.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace clackery {
namespace {

constexpr const char *kActionButtonStyle =
    "QPushButton { background-color: %1; color: white; font-size: 22px; font-weight: bold; padding: 12px; "
    "border: 2px solid transparent; border-radius: 5px; }"
    "QPushButton:hover { background-color: %2; }"
    "QPushButton:pressed { background-color: %3; }"
    "QPushButton:focus { border-color: white; }"
    "QPushButton:disabled { background-color: %4; }";

QLabel *wrapping_label(QWidget *parent, const QString &text = QString())
{
	auto *label = new QLabel(text, parent);
	label->setWordWrap(true);
	return label;
}

// Puts every label of the form above its field while the dock is too narrow for labels and
// fields side by side, so that no control is cut off at the right edge (there is no
// horizontal scrolling).
class NarrowFormWrap : public QObject {
public:
	NarrowFormWrap(QFormLayout *form_layout, QWidget *content) : QObject(content), form(form_layout) {}

	bool eventFilter(QObject *watched, QEvent *event) override
	{
		if (event->type() == QEvent::Resize) {
			const int width = static_cast<QResizeEvent *>(event)->size().width();
			const auto policy =
			    width < side_by_side_width() ? QFormLayout::WrapAllRows : QFormLayout::DontWrapRows;
			if (form->rowWrapPolicy() != policy)
				form->setRowWrapPolicy(policy);
		}
		return QObject::eventFilter(watched, event);
	}

private:
	int side_by_side_width() const
	{
		int labels = 0;
		int fields = 0;
		for (int row = 0; row < form->rowCount(); ++row) {
			if (QLayoutItem *label = form->itemAt(row, QFormLayout::LabelRole))
				labels = std::max(labels, label->minimumSize().width());
			if (QLayoutItem *field = form->itemAt(row, QFormLayout::FieldRole))
				fields = std::max(fields, field->minimumSize().width());
		}
		const QMargins margins = form->parentWidget()->layout()->contentsMargins();
		return labels + std::max(0, form->horizontalSpacing()) + fields + margins.left() + margins.right();
	}

	QFormLayout *form;
};

std::string current_string(const QComboBox *combo)
{
	return qstring_to_utf8(combo->currentData().toString());
}

} // namespace

TextDock::TextDock(std::function<void(bool)> set_paused, std::function<void()> toggle_hidden,
		   std::function<void(const TextFrame &)> on_text_frame,
		   std::function<void(const std::string &, const std::string &)> on_text_options,
		   std::function<void(const OverlayOptions &)> on_options, std::function<void()> cycle_mode,
		   const std::vector<std::string> &layout_ids, const std::vector<std::string> &skin_ids,
		   std::function<void()> add_overlay_requested, const std::vector<std::string> &shortcut_ids,
		   const std::map<std::string, std::string> &skin_names,
		   const std::map<std::string, std::string> &sound_packs)
    : QWidget(nullptr)
{
	auto *dock_layout = new QVBoxLayout(this);
	dock_layout->setContentsMargins(0, 0, 0, 0);

	scroll = new QScrollArea(this);
	scroll->setWidgetResizable(true);
	scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
	content = new QWidget(scroll);
	auto *content_layout = new QVBoxLayout(content);
	scroll->setWidget(content);
	dock_layout->addWidget(scroll);

	start_button = make_action_button(QStringLiteral("開始"), {"#207748", "#17693D", "#115533", "#637569"});
	stop_button = make_action_button(QStringLiteral("停止"), {"#BA3541", "#A62A36", "#8B202A", "#89666B"});
	stop_button->setEnabled(false);
	auto *action_row = new QHBoxLayout();
	action_row->addWidget(start_button, 1);
	action_row->addWidget(stop_button, 1);

	run_status_label = wrapping_label(this);
	visibility_button = new QPushButton(this);

	text_source_combo = new QComboBox(this);
	text_source_combo->addItem(QStringLiteral("ドックに打つ"), QStringLiteral("dock"));
	text_source_combo->addItem(QStringLiteral("キーから（英数だけ）"), QStringLiteral("keys"));

	text_hint_label = wrapping_label(this);
	text_input = new TextInput(std::move(on_text_frame), this);
	clear_button = new QPushButton(QStringLiteral("消す"), this);

	build_option_combos(layout_ids, skin_ids, shortcut_ids, skin_names, sound_packs);

	speed_check = new QCheckBox(QStringLiteral("打鍵速度"), this);
	sound_check = new QCheckBox(QStringLiteral("打鍵音"), this);
	kana_check = new QCheckBox(QStringLiteral("かなの刻印"), this);
	mouse_check = new QCheckBox(QStringLiteral("マウスも表示"), this);
	mouse_check->setToolTip(
	    QStringLiteral("マウスのボタンとホイールをキーボードの横に出します。ポインターの動きは拾いません。"));

	auto *form = new QFormLayout();
	form->addRow(QStringLiteral("デザイン"), skin_combo);
	form->addRow(QStringLiteral("表示モード"), mode_combo);
	form->addRow(QStringLiteral("配列"), layout_combo);
	form->addRow(QStringLiteral("文字欄の文字の色"), text_color_combo);
	form->addRow(QStringLiteral("文字欄のフォント"), text_font_combo);
	form->addRow(QStringLiteral("文字欄の行数"), text_lines_combo);
	form->addRow(QStringLiteral("文字の大きさ"), text_size_combo);
	form->addRow(QStringLiteral("文字欄の横幅"), text_width_combo);
	form->addRow(QStringLiteral("流れる向き"), text_direction_combo);
	form->addRow(QStringLiteral("ショートカット"), shortcuts_combo);
	form->addRow(QStringLiteral("打鍵音の種類"), sound_pack_combo);
	auto *checks = new QGridLayout();
	checks->addWidget(speed_check, 0, 0);
	checks->addWidget(sound_check, 1, 0);
	checks->addWidget(kana_check, 2, 0);
	checks->addWidget(mouse_check, 3, 0);

	mode_cycle_button = new QPushButton(QStringLiteral("モードを切り替える"), this);
	health_label = wrapping_label(this);
	capture_health_label = wrapping_label(this);
	elevated_label = wrapping_label(this);
	elevated_label->setStyleSheet(QStringLiteral("QLabel { color: #E0A030; font-weight: bold; }"));
	elevated_label->setVisible(false);
	auto *place_button = new QPushButton(QStringLiteral("いまのシーンに Clackery を置く"), this);
	placement_label = wrapping_label(
	    this, QStringLiteral("いまのシーンへ置けます。音の大きさは OBS の音声ミキサーで変えられます。"));

	content_layout->addLayout(action_row);
	content_layout->addWidget(run_status_label);
	content_layout->addWidget(visibility_button);
	content_layout->addWidget(place_button);
	content_layout->addWidget(placement_label);
	content_layout->addLayout(form);
	content_layout->addLayout(checks);
	content_layout->addWidget(mode_cycle_button);
	content_layout->addWidget(text_source_combo);
	content_layout->addWidget(text_hint_label);
	content_layout->addWidget(text_input);
	content_layout->addWidget(clear_button);
	content_layout->addWidget(health_label);
	content_layout->addWidget(capture_health_label);
	content_layout->addWidget(elevated_label);
	content_layout->addStretch(0);
	scroll->viewport()->installEventFilter(new NarrowFormWrap(form, content));

	// Connected last, so that filling and preselecting the controls above calls nothing.
	connect(start_button, &QPushButton::clicked, this, [set_paused] {
		if (set_paused)
			set_paused(false);
	});
	connect(stop_button, &QPushButton::clicked, this, [set_paused] {
		if (set_paused)
			set_paused(true);
	});
	connect(visibility_button, &QPushButton::clicked, this, [toggle_hidden] {
		if (toggle_hidden)
			toggle_hidden();
	});
	connect(place_button, &QPushButton::clicked, this, [add_overlay_requested] {
		if (add_overlay_requested)
			add_overlay_requested();
	});
	connect(mode_cycle_button, &QPushButton::clicked, this, [cycle_mode] {
		if (cycle_mode)
			cycle_mode();
	});
	TextInput *input = text_input;
	connect(clear_button, &QPushButton::clicked, text_input, [input] { input->clear_text(); });

	const auto text_options_changed = [this, on_text_options](int) {
		if (on_text_options)
			on_text_options(current_string(text_source_combo), current_string(text_color_combo));
	};
	for (QComboBox *combo : {text_source_combo, text_color_combo})
		connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this, text_options_changed);

	const auto options_changed = [this, on_options] {
		if (on_options)
			on_options(options_from_controls());
	};
	for (QComboBox *combo :
	     {mode_combo, layout_combo, skin_combo, shortcuts_combo, sound_pack_combo, text_font_combo,
	      text_lines_combo, text_size_combo, text_width_combo, text_direction_combo})
		connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
			[options_changed](int) { options_changed(); });
	for (QCheckBox *check : {speed_check, sound_check, kana_check, mouse_check})
		connect(check, &QCheckBox::toggled, this, [options_changed](bool) { options_changed(); });
}

TextDock::~TextDock() = default;

QPushButton *TextDock::make_action_button(const QString &label, const ButtonColors &colors)
{
	auto *button = new QPushButton(label, this);
	button->setMinimumHeight(72);
	button->setAccessibleName(label);
	button->setStyleSheet(QString::fromLatin1(kActionButtonStyle)
				  .arg(QLatin1String(colors.normal), QLatin1String(colors.hover),
				       QLatin1String(colors.pressed), QLatin1String(colors.disabled)));
	return button;
}

OverlayOptions TextDock::options_from_controls() const
{
	OverlayOptions options = default_options();
	options.mode = current_string(mode_combo);
	options.layout = current_string(layout_combo);
	options.skin = current_string(skin_combo);
	options.shortcuts = current_string(shortcuts_combo);
	options.speed = speed_check->isChecked();
	options.sound = sound_check->isChecked();
	if (sound_pack_combo->currentIndex() >= 0)
		options.sound_pack = current_string(sound_pack_combo);
	options.kana = kana_check->isChecked();
	options.mouse = mouse_check->isChecked();
	options.text_font = current_string(text_font_combo);
	options.text_lines = text_lines_combo->currentData().toInt();
	options.text_font_size = text_size_combo->currentData().toInt();
	options.text_width = text_width_combo->currentData().toInt();
	options.text_direction = current_string(text_direction_combo);
	return options;
}

void TextDock::set_placement_message(const std::string &text)
{
	placement_label->setText(utf8_to_qstring(text));
}

bool TextDock::has_text() const
{
	return text_input->holds_text();
}

void TextDock::current_frame(TextFrame &out)
{
	out = text_input->build_frame("type", std::string());
}

bool TextDock::press_pause_control(bool paused)
{
	// A click on a disabled button does nothing, exactly as for a user.
	(paused ? stop_button : start_button)->click();
	return start_button->isEnabled() == paused && stop_button->isEnabled() == !paused;
}

void TextDock::press_clear_control()
{
	clear_button->click();
}

} // namespace clackery
