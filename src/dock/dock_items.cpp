// The option combos of the dock and the items they offer. Every item carries its machine value
// as user data; the visible text is for the streamer.

#include "common/qt_text.h"
#include "common/skin_names.h"
#include "dock/control_dock.h"

#include <QComboBox>

#include <initializer_list>
#include <utility>

namespace clackery {
namespace {

const QString kMatchDesign = QStringLiteral("デザインに合わせる");

using Items = std::initializer_list<std::pair<const char *, const char *>>;

QComboBox *fixed_combo(QWidget *parent, Items items)
{
	auto *combo = new QComboBox(parent);
	for (const auto &[text, value] : items)
		combo->addItem(QString::fromUtf8(text), QString::fromLatin1(value));
	return combo;
}

// "デザインに合わせる" (0), then first..last with the unit after a space.
QComboBox *number_combo(QWidget *parent, int first, int last, const QString &unit)
{
	auto *combo = new QComboBox(parent);
	combo->addItem(kMatchDesign, 0);
	for (int n = first; n <= last; ++n)
		combo->addItem(QString::number(n) + QLatin1Char(' ') + unit, n);
	return combo;
}

QComboBox *wide_list_combo(QWidget *parent)
{
	auto *combo = new QComboBox(parent);
	// Long font and pack names must not widen the dock.
	combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
	combo->setMinimumContentsLength(10);
	return combo;
}

QString layout_text(const std::string &id)
{
	return id == "jis_tkl" ? QStringLiteral("JIS（テンキーなし）") : utf8_to_qstring(id);
}

QString shortcut_text(const std::string &id)
{
	if (id == "none")
		return QStringLiteral("出さない");
	if (id == "clipstudio")
		return QStringLiteral("クリップスタジオ");
	if (id == "sai")
		return QStringLiteral("SAI");
	if (id == "photoshop")
		return QStringLiteral("フォトショップ");
	return utf8_to_qstring(id);
}

} // namespace

void TextDock::build_option_combos(const std::vector<std::string> &layout_ids, const std::vector<std::string> &skin_ids,
				   const std::vector<std::string> &shortcut_ids,
				   const std::map<std::string, std::string> &skin_names,
				   const std::map<std::string, std::string> &sound_packs)
{
	text_color_combo = fixed_combo(this, {{"白い文字", "white"}, {"濃い文字", "dark"}});
	text_color_combo->setToolTip(
	    QStringLiteral("かわいい12種の水晶のガラスに使います。ほかのデザインは元の文字色です。"));

	text_font_combo = wide_list_combo(this);
	text_font_combo->addItem(kMatchDesign, QString());
	for (const std::string &family : installed_font_families())
		text_font_combo->addItem(utf8_to_qstring(family), utf8_to_qstring(family));

	text_lines_combo = number_combo(this, 1, 20, QStringLiteral("行"));
	text_size_combo = number_combo(this, 8, 96, QStringLiteral("px"));
	text_width_combo = number_combo(this, 50, 150, QStringLiteral("％"));
	text_size_combo->setToolTip(QStringLiteral(
	    "デザインの中の文字サイズです。長い行や全体が大きいときは、画面へ収まるように小さくなります。"));
	text_width_combo->setToolTip(QStringLiteral("キーボードの見えている幅を100％として、文字欄の横幅を選びます。"));

	text_direction_combo = fixed_combo(
	    this, {{"デザインに合わせる", "skin"}, {"上へ（新しい行が下）", "up"}, {"下へ（新しい行が上）", "down"}});
	mode_combo = fixed_combo(this, {{"キーボードだけ", "keyboard"}, {"文字だけ", "text"}, {"両方", "both"}});

	layout_combo = new QComboBox(this);
	for (const std::string &id : layout_ids)
		layout_combo->addItem(layout_text(id), utf8_to_qstring(id));
	if (layout_ids.empty())
		layout_combo->addItem(layout_text("jis_tkl"), QStringLiteral("jis_tkl"));

	skin_combo = new QComboBox(this);
	for (const std::string &id : skin_ids) {
		const auto name = skin_names.find(id);
		const std::string text = name != skin_names.end() ? name->second : builtin_skin_name(id);
		skin_combo->addItem(utf8_to_qstring(text), utf8_to_qstring(id));
	}
	if (skin_ids.empty())
		skin_combo->addItem(utf8_to_qstring(builtin_skin_name("default")), QStringLiteral("default"));

	shortcuts_combo = new QComboBox(this);
	for (const std::string &id : shortcut_ids)
		shortcuts_combo->addItem(shortcut_text(id), utf8_to_qstring(id));

	sound_pack_combo = wide_list_combo(this);
	for (const auto &[id, name] : sound_packs)
		sound_pack_combo->addItem(utf8_to_qstring(name), utf8_to_qstring(id));
	sound_pack_combo->setPlaceholderText(sound_packs.empty() ? QStringLiteral("使える音がありません")
								 : QStringLiteral("音の組を選ぶ"));
	sound_pack_combo->setCurrentIndex(sound_pack_combo->findData(QStringLiteral("shizuka")));
	sound_pack_combo->setEnabled(!sound_packs.empty());
}

} // namespace clackery
