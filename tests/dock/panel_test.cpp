// The dock's controls as the streamer sees them, and what each one calls in the core.

#include "common/qt_text.h"
#include "dock_fixture.h"

#include <gtest/gtest.h>

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace clackery {
namespace {

QString item_text(QComboBox *combo, int index)
{
	return combo->itemText(index);
}

std::vector<std::pair<QString, QVariant>> items_of(QComboBox *combo)
{
	std::vector<std::pair<QString, QVariant>> items;
	for (int i = 0; i < combo->count(); ++i)
		items.emplace_back(combo->itemText(i), combo->itemData(i, Qt::UserRole));
	return items;
}

using Items = std::vector<std::pair<QString, QVariant>>;

TEST(DockPanel, ActionButtonsStartPausedWithTheirColours)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	EXPECT_EQ(c.start_button->text(), QStringLiteral("開始"));
	EXPECT_EQ(c.stop_button->text(), QStringLiteral("停止"));
	EXPECT_EQ(c.start_button->accessibleName(), QStringLiteral("開始"));
	EXPECT_EQ(c.stop_button->accessibleName(), QStringLiteral("停止"));
	EXPECT_EQ(c.start_button->minimumHeight(), 72);
	EXPECT_EQ(c.stop_button->minimumHeight(), 72);
	EXPECT_TRUE(c.start_button->isEnabled());
	EXPECT_FALSE(c.stop_button->isEnabled());
	EXPECT_EQ(c.start_button->styleSheet(),
		  QStringLiteral("QPushButton { background-color: #207748; color: white; font-size: 22px; font-weight: "
				 "bold; padding: 12px; border: 2px solid transparent; border-radius: 5px; }"
				 "QPushButton:hover { background-color: #17693D; }QPushButton:pressed { "
				 "background-color: #115533; }QPushButton:focus { border-color: white; }"
				 "QPushButton:disabled { background-color: #637569; }"));
	EXPECT_TRUE(c.stop_button->styleSheet().startsWith(QStringLiteral("QPushButton { background-color: #BA3541;")));
	EXPECT_TRUE(
	    c.stop_button->styleSheet().contains(QStringLiteral("QPushButton:hover { background-color: #A62A36; }")));
	EXPECT_TRUE(
	    c.stop_button->styleSheet().contains(QStringLiteral("QPushButton:pressed { background-color: #8B202A; }")));
	EXPECT_TRUE(c.stop_button->styleSheet().endsWith(
	    QStringLiteral("QPushButton:disabled { background-color: #89666B; }")));
}

TEST(DockPanel, FixedTextsAndEmptyStatusBeforeTheFirstState)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	EXPECT_EQ(c.clear_button->text(), QStringLiteral("消す"));
	EXPECT_EQ(c.mode_cycle_button->text(), QStringLiteral("モードを切り替える"));
	EXPECT_EQ(c.speed_check->text(), QStringLiteral("打鍵速度"));
	EXPECT_EQ(c.sound_check->text(), QStringLiteral("打鍵音"));
	EXPECT_EQ(c.kana_check->text(), QStringLiteral("かなの刻印"));
	EXPECT_EQ(c.mouse_check->text(), QStringLiteral("マウスも表示"));
	EXPECT_FALSE(c.speed_check->isChecked());
	EXPECT_FALSE(c.sound_check->isChecked());
	EXPECT_FALSE(c.kana_check->isChecked());
	EXPECT_FALSE(c.mouse_check->isChecked());
	EXPECT_EQ(c.placement_label->text(),
		  QStringLiteral("いまのシーンへ置けます。音の大きさは OBS の音声ミキサーで変えられます。"));
	EXPECT_TRUE(c.run_status_label->text().isEmpty());
	EXPECT_TRUE(c.health_label->text().isEmpty());
	EXPECT_TRUE(c.capture_health_label->text().isEmpty());
	EXPECT_TRUE(c.elevated_label->isHidden());
	EXPECT_TRUE(c.text_hint_label->text().isEmpty());
	EXPECT_TRUE(c.visibility_button->text().isEmpty());
	for (QLabel *label : {c.run_status_label, c.health_label, c.capture_health_label, c.elevated_label,
			      c.text_hint_label, c.placement_label})
		EXPECT_TRUE(label->wordWrap());
	EXPECT_EQ(c.text_input->placeholderText(), QStringLiteral("ここに打った文字を表示します"));
	EXPECT_EQ(c.text_input->minimumHeight(), 130);
	EXPECT_FALSE(c.text_input->acceptRichText());
	EXPECT_FALSE(c.text_input->isUndoRedoEnabled());
	EXPECT_TRUE(c.scroll->widgetResizable());
	EXPECT_EQ(c.scroll->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
	EXPECT_EQ(c.scroll->widget(), c.content);
	EXPECT_EQ(dock->layout()->contentsMargins(), QMargins(0, 0, 0, 0));
	EXPECT_EQ(calls.option_calls() + calls.paused.size() + calls.frames.size(), 0u);
}

TEST(DockPanel, ContentTopToBottom)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	QLayout *layout = c.content->layout();
	ASSERT_EQ(layout->count(), 16);

	QLayout *row = layout->itemAt(0)->layout();
	ASSERT_NE(qobject_cast<QHBoxLayout *>(row), nullptr);
	EXPECT_EQ(row->itemAt(0)->widget(), c.start_button);
	EXPECT_EQ(row->itemAt(1)->widget(), c.stop_button);
	auto *action_row = static_cast<QHBoxLayout *>(row);
	EXPECT_EQ(action_row->stretch(0), 1);
	EXPECT_EQ(action_row->stretch(1), 1);

	EXPECT_EQ(layout->itemAt(1)->widget(), c.run_status_label);
	EXPECT_EQ(layout->itemAt(2)->widget(), c.visibility_button);
	auto *place = qobject_cast<QPushButton *>(layout->itemAt(3)->widget());
	ASSERT_NE(place, nullptr);
	EXPECT_EQ(place->text(), QStringLiteral("いまのシーンに Clackery を置く"));
	EXPECT_EQ(layout->itemAt(4)->widget(), c.placement_label);
	ASSERT_NE(qobject_cast<QFormLayout *>(layout->itemAt(5)->layout()), nullptr);
	ASSERT_NE(qobject_cast<QGridLayout *>(layout->itemAt(6)->layout()), nullptr);
	EXPECT_EQ(layout->itemAt(7)->widget(), c.mode_cycle_button);
	EXPECT_EQ(layout->itemAt(8)->widget(), c.text_source_combo);
	EXPECT_EQ(layout->itemAt(9)->widget(), c.text_hint_label);
	EXPECT_EQ(layout->itemAt(10)->widget(), c.text_input);
	EXPECT_EQ(layout->itemAt(11)->widget(), c.clear_button);
	EXPECT_EQ(layout->itemAt(12)->widget(), c.health_label);
	EXPECT_EQ(layout->itemAt(13)->widget(), c.capture_health_label);
	EXPECT_EQ(layout->itemAt(14)->widget(), c.elevated_label);
	EXPECT_NE(layout->itemAt(15)->spacerItem(), nullptr);

	auto *form = static_cast<QFormLayout *>(layout->itemAt(5)->layout());
	const std::vector<std::pair<QString, QWidget *>> rows{
	    {QStringLiteral("デザイン"), c.skin_combo},
	    {QStringLiteral("表示モード"), c.mode_combo},
	    {QStringLiteral("配列"), c.layout_combo},
	    {QStringLiteral("文字欄の文字の色"), c.text_color_combo},
	    {QStringLiteral("文字欄のフォント"), c.text_font_combo},
	    {QStringLiteral("文字欄の行数"), c.text_lines_combo},
	    {QStringLiteral("文字の大きさ"), c.text_size_combo},
	    {QStringLiteral("文字欄の横幅"), c.text_width_combo},
	    {QStringLiteral("流れる向き"), c.text_direction_combo},
	    {QStringLiteral("ショートカット"), c.shortcuts_combo},
	    {QStringLiteral("打鍵音の種類"), c.sound_pack_combo},
	};
	ASSERT_EQ(form->rowCount(), static_cast<int>(rows.size()));
	for (int i = 0; i < form->rowCount(); ++i) {
		auto *label = qobject_cast<QLabel *>(form->itemAt(i, QFormLayout::LabelRole)->widget());
		ASSERT_NE(label, nullptr);
		EXPECT_EQ(label->text(), rows[static_cast<std::size_t>(i)].first);
		EXPECT_EQ(form->itemAt(i, QFormLayout::FieldRole)->widget(), rows[static_cast<std::size_t>(i)].second);
	}

	auto *grid = static_cast<QGridLayout *>(layout->itemAt(6)->layout());
	EXPECT_EQ(grid->itemAtPosition(0, 0)->widget(), c.speed_check);
	EXPECT_EQ(grid->itemAtPosition(1, 0)->widget(), c.sound_check);
	EXPECT_EQ(grid->itemAtPosition(2, 0)->widget(), c.kana_check);
	EXPECT_EQ(grid->itemAtPosition(3, 0)->widget(), c.mouse_check);
}

TEST(DockPanel, FixedItemListsCarryTheirValues)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	EXPECT_EQ(items_of(c.text_source_combo),
		  (Items{{QStringLiteral("ドックに打つ"), QStringLiteral("dock")},
			 {QStringLiteral("キーから（英数だけ）"), QStringLiteral("keys")}}));
	EXPECT_EQ(items_of(c.text_color_combo), (Items{{QStringLiteral("白い文字"), QStringLiteral("white")},
						       {QStringLiteral("濃い文字"), QStringLiteral("dark")}}));
	EXPECT_EQ(items_of(c.text_direction_combo),
		  (Items{{QStringLiteral("デザインに合わせる"), QStringLiteral("skin")},
			 {QStringLiteral("上へ（新しい行が下）"), QStringLiteral("up")},
			 {QStringLiteral("下へ（新しい行が上）"), QStringLiteral("down")}}));
	EXPECT_EQ(items_of(c.mode_combo), (Items{{QStringLiteral("キーボードだけ"), QStringLiteral("keyboard")},
						 {QStringLiteral("文字だけ"), QStringLiteral("text")},
						 {QStringLiteral("両方"), QStringLiteral("both")}}));
	EXPECT_EQ(c.text_color_combo->toolTip(),
		  QStringLiteral("かわいい12種の水晶のガラスに使います。ほかのデザインは元の文字色です。"));
	EXPECT_EQ(c.text_size_combo->toolTip(),
		  QStringLiteral("デザインの中の文字サイズです。長い行や全体が大きいときは、画面へ収まるように小さく"
				 "なります。"));
	EXPECT_EQ(c.text_width_combo->toolTip(),
		  QStringLiteral("キーボードの見えている幅を100％として、文字欄の横幅を選びます。"));
}

TEST(DockPanel, NumberCombosOfferDesignDefaultThenTheirRange)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	struct Case {
		QComboBox *combo;
		int count;
		QString second;
		int second_value;
		QString last;
		int last_value;
	};
	const Case cases[] = {
	    {c.text_lines_combo, 21, QStringLiteral("1 行"), 1, QStringLiteral("20 行"), 20},
	    {c.text_size_combo, 90, QStringLiteral("8 px"), 8, QStringLiteral("96 px"), 96},
	    {c.text_width_combo, 102, QStringLiteral("50 ％"), 50, QStringLiteral("150 ％"), 150},
	};
	for (const Case &k : cases) {
		ASSERT_EQ(k.combo->count(), k.count);
		EXPECT_EQ(item_text(k.combo, 0), QStringLiteral("デザインに合わせる"));
		EXPECT_EQ(k.combo->itemData(0).userType(), QMetaType::Int);
		EXPECT_EQ(k.combo->itemData(0).toInt(), 0);
		EXPECT_EQ(item_text(k.combo, 1), k.second);
		EXPECT_EQ(k.combo->itemData(1).toInt(), k.second_value);
		EXPECT_EQ(item_text(k.combo, k.count - 1), k.last);
		EXPECT_EQ(k.combo->itemData(k.count - 1).userType(), QMetaType::Int);
		EXPECT_EQ(k.combo->itemData(k.count - 1).toInt(), k.last_value);
		EXPECT_EQ(k.combo->currentIndex(), 0);
	}
}

TEST(DockPanel, FontComboOffersTheInstalledFamilies)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	const std::vector<std::string> &families = installed_font_families();
	ASSERT_EQ(c.text_font_combo->count(), static_cast<int>(families.size()) + 1);
	EXPECT_EQ(item_text(c.text_font_combo, 0), QStringLiteral("デザインに合わせる"));
	EXPECT_EQ(c.text_font_combo->itemData(0).userType(), QMetaType::QString);
	EXPECT_TRUE(c.text_font_combo->itemData(0).toString().isEmpty());
	for (std::size_t i = 0; i < families.size(); ++i) {
		const int index = static_cast<int>(i) + 1;
		EXPECT_EQ(qstring_to_utf8(item_text(c.text_font_combo, index)), families[i]);
		EXPECT_EQ(qstring_to_utf8(c.text_font_combo->itemData(index).toString()), families[i]);
	}
	for (QComboBox *combo : {c.text_font_combo, c.sound_pack_combo}) {
		EXPECT_EQ(combo->sizeAdjustPolicy(), QComboBox::AdjustToMinimumContentsLengthWithIcon);
		EXPECT_EQ(combo->minimumContentsLength(), 10);
	}
}

TEST(DockPanel, CatalogueCombosNameWhatTheyKnow)
{
	DockCalls calls;
	DockLists lists;
	lists.layout_ids = {"us_full", "jis_tkl", "colemak"};
	lists.skin_ids = {"cute_bunny", "navy_gold", "porcelain", "ice_glass", "default", "zz_custom"};
	lists.skin_names = {{"cute_bunny", "うさぎ"}, {"porcelain", "白磁"}};
	lists.shortcut_ids = {"none", "clipstudio", "sai", "photoshop", "krita"};
	auto dock = make_recording_dock(calls, lists);
	TextDockAccess c(*dock);
	EXPECT_EQ(items_of(c.layout_combo), (Items{{QStringLiteral("us_full"), QStringLiteral("us_full")},
						   {QStringLiteral("JIS（テンキーなし）"), QStringLiteral("jis_tkl")},
						   {QStringLiteral("colemak"), QStringLiteral("colemak")}}));
	EXPECT_EQ(items_of(c.skin_combo), (Items{{QStringLiteral("うさぎ"), QStringLiteral("cute_bunny")},
						 {QStringLiteral("紺と淡い金"), QStringLiteral("navy_gold")},
						 {QStringLiteral("白磁"), QStringLiteral("porcelain")},
						 {QStringLiteral("氷色に光る縁"), QStringLiteral("ice_glass")},
						 {QStringLiteral("配置の例（四角）"), QStringLiteral("default")},
						 {QStringLiteral("zz_custom"), QStringLiteral("zz_custom")}}));
	EXPECT_EQ(items_of(c.shortcuts_combo),
		  (Items{{QStringLiteral("出さない"), QStringLiteral("none")},
			 {QStringLiteral("クリップスタジオ"), QStringLiteral("clipstudio")},
			 {QStringLiteral("SAI"), QStringLiteral("sai")},
			 {QStringLiteral("フォトショップ"), QStringLiteral("photoshop")},
			 {QStringLiteral("krita"), QStringLiteral("krita")}}));
}

TEST(DockPanel, EmptyCataloguesFallBack)
{
	DockCalls calls;
	DockLists lists;
	lists.layout_ids.clear();
	lists.skin_ids.clear();
	lists.shortcut_ids.clear();
	lists.sound_packs.clear();
	auto dock = make_recording_dock(calls, lists);
	TextDockAccess c(*dock);
	EXPECT_EQ(items_of(c.layout_combo),
		  (Items{{QStringLiteral("JIS（テンキーなし）"), QStringLiteral("jis_tkl")}}));
	EXPECT_EQ(items_of(c.skin_combo), (Items{{QStringLiteral("配置の例（四角）"), QStringLiteral("default")}}));
	EXPECT_EQ(c.shortcuts_combo->count(), 0);
	EXPECT_EQ(c.sound_pack_combo->count(), 0);
	EXPECT_EQ(c.sound_pack_combo->currentIndex(), -1);
	EXPECT_FALSE(c.sound_pack_combo->isEnabled());
	EXPECT_EQ(c.sound_pack_combo->placeholderText(), QStringLiteral("使える音がありません"));
}

TEST(DockPanel, SoundPacksInKeyOrderWithShizukaChosen)
{
	DockCalls calls;
	DockLists lists;
	lists.sound_packs = {{"zen", "禅"}, {"shizuka", "しずか"}, {"alpha", "あるふぁ"}};
	auto dock = make_recording_dock(calls, lists);
	TextDockAccess c(*dock);
	EXPECT_EQ(items_of(c.sound_pack_combo), (Items{{QStringLiteral("あるふぁ"), QStringLiteral("alpha")},
						       {QStringLiteral("しずか"), QStringLiteral("shizuka")},
						       {QStringLiteral("禅"), QStringLiteral("zen")}}));
	EXPECT_EQ(c.sound_pack_combo->currentIndex(), 1);
	EXPECT_TRUE(c.sound_pack_combo->isEnabled());
	EXPECT_EQ(c.sound_pack_combo->placeholderText(), QStringLiteral("音の組を選ぶ"));

	lists.sound_packs = {{"zen", "禅"}};
	auto without_shizuka = make_recording_dock(calls, lists);
	EXPECT_EQ(TextDockAccess(*without_shizuka).sound_pack_combo->currentIndex(), -1);
	EXPECT_EQ(calls.option_calls(), 0u);
}

TEST(DockPanel, ButtonsCallTheirCallbacks)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	c.stop_button->click(); // disabled while paused
	c.start_button->click();
	EXPECT_EQ(calls.paused, std::vector<bool>{false});
	dock->show_state(false, false, true, true, "dock", default_options(), "white");
	c.start_button->click(); // disabled while running
	c.stop_button->click();
	EXPECT_EQ(calls.paused, (std::vector<bool>{false, true}));

	c.visibility_button->click();
	c.mode_cycle_button->click();
	c.mode_cycle_button->click();
	EXPECT_EQ(calls.hide_toggles, 1);
	EXPECT_EQ(calls.mode_cycles, 2);
	EXPECT_EQ(calls.overlay_requests, 0);
	EXPECT_EQ(calls.option_calls(), 0u);
}

TEST(DockPanel, PlaceButtonCallsTheOverlayCallbackOnly)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	QPushButton *place = nullptr;
	for (QPushButton *button : dock->findChildren<QPushButton *>()) {
		if (button->text() == QStringLiteral("いまのシーンに Clackery を置く"))
			place = button;
	}
	ASSERT_NE(place, nullptr);
	place->click();
	EXPECT_EQ(calls.overlay_requests, 1);
	EXPECT_EQ(calls.hide_toggles + calls.mode_cycles, 0);
	EXPECT_TRUE(calls.paused.empty());
}

TEST(DockPanel, TextSourceAndColourGoTogether)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	c.text_source_combo->setCurrentIndex(1);
	c.text_color_combo->setCurrentIndex(1);
	c.text_source_combo->setCurrentIndex(0);
	using Pair = std::pair<std::string, std::string>;
	EXPECT_EQ(calls.text_options, (std::vector<Pair>{{"keys", "white"}, {"keys", "dark"}, {"dock", "dark"}}));
	EXPECT_TRUE(calls.options.empty());
}

// Every option control sends the complete record with the current value of every other one.
TEST(DockPanel, EachOptionControlSendsTheCompleteRecord)
{
	DockCalls calls;
	DockLists lists;
	lists.sound_packs = {{"kotokoto", "ことこと"}, {"shizuka", "しずか"}};
	auto dock = make_recording_dock(calls, lists);
	TextDockAccess c(*dock);

	OverlayOptions shown = default_options();
	shown.mode = "text";
	shown.layout = "us_full";
	shown.skin = "navy_gold";
	shown.shortcuts = "sai";
	shown.speed = false;
	shown.sound = true;
	shown.kana = true;
	shown.sound_pack = "kotokoto";
	shown.text_lines = 3;
	shown.text_font_size = 40;
	shown.text_width = 120;
	shown.text_direction = "down";
	shown.sound_volume = 77; // not the dock's: the record keeps the default
	dock->show_state(true, true, true, true, "dock", shown, "white");
	ASSERT_EQ(calls.option_calls(), 0u);

	OverlayOptions base = shown;
	base.sound_volume = default_options().sound_volume;

	struct Case {
		const char *control;
		std::function<void()> change;
		std::function<void(OverlayOptions &)> expect;
	};
	const std::vector<Case> cases{
	    {"mode", [&] { c.mode_combo->setCurrentIndex(0); }, [](OverlayOptions &o) { o.mode = "keyboard"; }},
	    {"layout", [&] { c.layout_combo->setCurrentIndex(0); }, [](OverlayOptions &o) { o.layout = "jis_tkl"; }},
	    {"skin", [&] { c.skin_combo->setCurrentIndex(1); }, [](OverlayOptions &o) { o.skin = "cute_bunny"; }},
	    {"shortcuts", [&] { c.shortcuts_combo->setCurrentIndex(0); },
	     [](OverlayOptions &o) { o.shortcuts = "none"; }},
	    {"sound pack", [&] { c.sound_pack_combo->setCurrentIndex(1); },
	     [](OverlayOptions &o) { o.sound_pack = "shizuka"; }},
	    {"font", [&] { c.text_font_combo->setCurrentIndex(1); },
	     [&](OverlayOptions &o) { o.text_font = qstring_to_utf8(c.text_font_combo->itemData(1).toString()); }},
	    {"lines", [&] { c.text_lines_combo->setCurrentIndex(20); }, [](OverlayOptions &o) { o.text_lines = 20; }},
	    {"size", [&] { c.text_size_combo->setCurrentIndex(0); }, [](OverlayOptions &o) { o.text_font_size = 0; }},
	    {"width", [&] { c.text_width_combo->setCurrentIndex(1); }, [](OverlayOptions &o) { o.text_width = 50; }},
	    {"direction", [&] { c.text_direction_combo->setCurrentIndex(1); },
	     [](OverlayOptions &o) { o.text_direction = "up"; }},
	    {"speed", [&] { c.speed_check->setChecked(true); }, [](OverlayOptions &o) { o.speed = true; }},
	    {"sound", [&] { c.sound_check->setChecked(false); }, [](OverlayOptions &o) { o.sound = false; }},
	    {"kana", [&] { c.kana_check->setChecked(false); }, [](OverlayOptions &o) { o.kana = false; }},
	    {"mouse", [&] { c.mouse_check->setChecked(true); }, [](OverlayOptions &o) { o.mouse = true; }},
	};
	ASSERT_GT(c.text_font_combo->count(), 1) << "the test machine has no font families";
	OverlayOptions expected = base;
	for (const Case &k : cases) {
		calls.options.clear();
		k.change();
		k.expect(expected);
		ASSERT_EQ(calls.options.size(), 1u) << k.control;
		EXPECT_TRUE(same_options(calls.options[0], expected)) << k.control;
	}
	EXPECT_TRUE(calls.text_options.empty());
}

TEST(DockPanel, ComboWithoutCurrentItemSendsEmptyValues)
{
	DockCalls calls;
	DockLists lists;
	lists.sound_packs.clear();
	lists.shortcut_ids.clear();
	auto dock = make_recording_dock(calls, lists);
	TextDockAccess c(*dock);
	OverlayOptions odd = default_options();
	odd.mode = "Keyboard";
	odd.text_lines = 25;
	dock->show_state(true, true, true, true, "dock", odd, "white");
	c.kana_check->setChecked(true);
	ASSERT_EQ(calls.options.size(), 1u);
	EXPECT_EQ(calls.options[0].mode, "");
	EXPECT_EQ(calls.options[0].text_lines, 0);
	EXPECT_EQ(calls.options[0].shortcuts, "");
	EXPECT_EQ(calls.options[0].sound_pack, "shizuka"); // no pack chosen: the default stays
	EXPECT_TRUE(calls.options[0].kana);
}

TEST(DockPanel, EmptyCallbacksLeaveControlsInert)
{
	auto dock =
	    std::make_unique<TextDock>(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, std::vector<std::string>{},
				       std::vector<std::string>{}, nullptr, std::vector<std::string>{"none"},
				       std::map<std::string, std::string>{}, std::map<std::string, std::string>{});
	TextDockAccess c(*dock);
	for (QPushButton *button : dock->findChildren<QPushButton *>()) {
		button->setEnabled(true);
		button->click();
	}
	c.text_source_combo->setCurrentIndex(1);
	c.mode_combo->setCurrentIndex(2);
	c.kana_check->setChecked(true);
	EXPECT_TRUE(dock->inject_input_method("か", "", 1, 0, 0));
	EXPECT_TRUE(dock->has_text());
}

TEST(DockPanel, PauseControlReportsWhatTheButtonsShow)
{
	DockCalls calls;
	TextDock *dock_pointer = nullptr;
	// A core that accepts every pause change and shows it.
	auto dock = std::make_unique<TextDock>(
	    [&](bool paused) {
		    calls.paused.push_back(paused);
		    dock_pointer->show_state(paused, true, true, true, "dock", default_options(), "white");
	    },
	    nullptr, nullptr, nullptr, nullptr, nullptr, std::vector<std::string>{}, std::vector<std::string>{},
	    nullptr, std::vector<std::string>{}, std::map<std::string, std::string>{},
	    std::map<std::string, std::string>{});
	dock_pointer = dock.get();
	dock->show_state(true, true, true, true, "dock", default_options(), "white");

	EXPECT_TRUE(dock->press_pause_control(true)); // "停止" is disabled: nothing happens
	EXPECT_TRUE(calls.paused.empty());
	EXPECT_TRUE(dock->press_pause_control(false));
	EXPECT_EQ(calls.paused, std::vector<bool>{false});
	EXPECT_TRUE(dock->press_pause_control(false)); // already running
	EXPECT_TRUE(dock->press_pause_control(true));
	EXPECT_EQ(calls.paused, (std::vector<bool>{false, true}));
}

TEST(DockPanel, PauseControlIsFalseWhenTheCoreDoesNotFollow)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	dock->show_state(true, true, true, true, "dock", default_options(), "white");
	EXPECT_FALSE(dock->press_pause_control(false));
	EXPECT_EQ(calls.paused, std::vector<bool>{false});
}

TEST(DockPanel, PlacementMessageReplacesTheHint)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	dock->set_placement_message("このシーンには、もうオーバーレイがあります。");
	EXPECT_EQ(TextDockAccess(*dock).placement_label->text(),
		  QStringLiteral("このシーンには、もうオーバーレイがあります。"));
	dock->set_placement_message(std::string("a\0b", 3));
	EXPECT_EQ(TextDockAccess(*dock).placement_label->text(), QStringLiteral("a\uFFFDb"));
}

} // namespace
} // namespace clackery
