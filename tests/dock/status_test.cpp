// The dock follows the core's state and never calls back while doing so.

#include "common/qt_text.h"
#include "dock_fixture.h"

#include <gtest/gtest.h>

namespace clackery {
namespace {

QString current_value(QComboBox *combo)
{
	return combo->currentData().toString();
}

TEST(DockStatus, PausedAndRunningTexts)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);

	dock->show_state(true, true, true, false, "dock", default_options(), "white");
	EXPECT_TRUE(c.start_button->isEnabled());
	EXPECT_FALSE(c.stop_button->isEnabled());
	EXPECT_EQ(c.run_status_label->text(), QStringLiteral("いまは止まっています（キーは配信に出ません）"));
	EXPECT_EQ(c.text_hint_label->text(), QStringLiteral("止まっています。打っても配信には出ません"));
	EXPECT_EQ(c.visibility_button->text(), QStringLiteral("表示する"));

	dock->show_state(false, false, true, false, "dock", default_options(), "white");
	EXPECT_FALSE(c.start_button->isEnabled());
	EXPECT_TRUE(c.stop_button->isEnabled());
	EXPECT_EQ(c.run_status_label->text(), QStringLiteral("キーの動きを配信に出しています"));
	EXPECT_EQ(c.text_hint_label->text(),
		  QStringLiteral("ここに打つと、そのまま配信に出ます。文字がある間はドックが優先です。"));
	EXPECT_EQ(c.visibility_button->text(), QStringLiteral("非表示にする"));
}

TEST(DockStatus, HealthLineJoinsCaptureAndDelivery)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	struct Case {
		bool capture;
		bool delivery;
		QString text;
	};
	const Case cases[] = {
	    {true, false, QStringLiteral("キーの受付：動作中 ／ 受け渡し：obs-websocket が見つかりません")},
	    {true, true, QStringLiteral("キーの受付：動作中 ／ 受け渡し：準備できました")},
	    {false, true, QStringLiteral("キーを拾えません ／ 受け渡し：準備できました")},
	    {false, false, QStringLiteral("キーを拾えません ／ 受け渡し：obs-websocket が見つかりません")},
	};
	for (const Case &k : cases) {
		dock->show_state(true, true, k.capture, k.delivery, "dock", default_options(), "white");
		EXPECT_EQ(c.health_label->text(), k.text);
	}
	// The broadcast road is named only while delivery works at all.
	dock->show_state(true, true, true, true, "dock", default_options(), "white", true);
	EXPECT_EQ(c.health_label->text(), QStringLiteral("キーの受付：動作中 ／ 受け渡し：準備できました ／ 古い "
							 "obs-browser のため、キーはすべてのブラウザソースに届きます"));
	dock->show_state(true, true, true, false, "dock", default_options(), "white", true);
	EXPECT_EQ(c.health_label->text(), cases[0].text);
}

// Called after show_state, as the core does; a later show_state puts the plain texts back.
TEST(DockStatus, PasswordFieldsAmendTheStatusAndTheHealthLine)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	dock->show_state(false, false, true, true, "dock", default_options(), "white");
	dock->show_privacy(true, false);
	EXPECT_EQ(c.run_status_label->text(), QStringLiteral("パスワード入力中のため伏せています"));
	EXPECT_EQ(c.health_label->text(), QStringLiteral("キーの受付：動作中 ／ 受け渡し：準備できました"));

	dock->show_state(false, false, true, true, "dock", default_options(), "white");
	dock->show_privacy(false, true);
	EXPECT_EQ(c.run_status_label->text(), QStringLiteral("キーの動きを配信に出しています"));
	EXPECT_EQ(c.health_label->text(),
		  QStringLiteral("キーの受付：動作中 ／ 受け渡し：準備できました ／ パスワード欄を見分けられません"));
	EXPECT_EQ(calls.option_calls(), 0u);
}

CaptureReport report(const char *status, std::uint32_t error, std::uint64_t reinstalls, double age_ms,
		     bool away = false)
{
	CaptureReport r;
	r.status = status;
	r.error = error;
	r.reinstalls = reinstalls;
	r.has_last_key = age_ms >= 0;
	r.last_key_age_ms = age_ms;
	r.away = away;
	return r;
}

TEST(DockStatus, CaptureHealthLineSaysWhyKeysAreMissing)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	struct Case {
		CaptureReport report;
		QString text;
	};
	const Case cases[] = {
	    {report("active", 0, 0, -1), QStringLiteral("キーの見張り：正常・キーはまだ来ていません")},
	    {report("active", 0, 0, 2999), QStringLiteral("キーの見張り：正常・最後のキー 2 秒前")},
	    {report("active", 0, 3, 61000), QStringLiteral("キーの見張り：正常・つなぎ直し 3 回・最後のキー 1 分前")},
	    {report("active", 1236, 0, 7200000),
	     QStringLiteral(
		 "キーの見張り：正常・キーが押されたままか確かめられません（エラー 1236）・最後のキー 2 時間前")},
	    {report("paused", 0, 0, 5000, true),
	     QStringLiteral("キーの見張り：画面ロック・スリープの間は止めています・最後のキー 5 秒前")},
	    {report("paused", 0, 1, 5000), QStringLiteral("キーの見張り：停止中・つなぎ直し 1 回・最後のキー 5 秒前")},
	    {report("failed", 5, 2, -1),
	     QStringLiteral("キーの見張り：キーを拾えません（エラー 5）・つなぎ直し 2 回・キーはまだ来ていません")},
	};
	for (const Case &k : cases) {
		dock->show_capture_health(k.report);
		EXPECT_EQ(c.capture_health_label->text(), k.text);
		EXPECT_TRUE(c.elevated_label->isHidden());
	}
	EXPECT_EQ(calls.option_calls() + calls.paused.size() + calls.frames.size(), 0u);
}

TEST(DockStatus, ElevatedNoticeComesAndGoesWithTheFocus)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	CaptureReport r = report("active", 0, 0, 1000);
	r.elevated_foreground = true;
	dock->show_capture_health(r);
	EXPECT_FALSE(c.elevated_label->isHidden());
	EXPECT_EQ(c.elevated_label->text(), QStringLiteral("管理者として実行中のウィンドウのキーは表示できません"));
	r.elevated_foreground = false;
	dock->show_capture_health(r);
	EXPECT_TRUE(c.elevated_label->isHidden());
	EXPECT_TRUE(c.elevated_label->text().isEmpty());
}

TEST(DockStatus, SelectsEveryOptionWithoutCallingBack)
{
	DockCalls calls;
	DockLists lists;
	lists.sound_packs = {{"kotokoto", "ことこと"}, {"shizuka", "しずか"}};
	auto dock = make_recording_dock(calls, lists);
	TextDockAccess c(*dock);

	OverlayOptions options = default_options();
	options.mode = "keyboard";
	options.layout = "us_full";
	options.skin = "cute_bunny";
	options.shortcuts = "photoshop";
	options.speed = false;
	options.sound = true;
	options.kana = true;
	options.mouse = true;
	options.sound_pack = "kotokoto";
	options.text_font = qstring_to_utf8(c.text_font_combo->itemData(c.text_font_combo->count() - 1).toString());
	options.text_lines = 20;
	options.text_font_size = 8;
	options.text_width = 150;
	options.text_direction = "up";
	dock->show_state(false, false, true, true, "keys", options, "dark");

	EXPECT_EQ(current_value(c.text_source_combo), QStringLiteral("keys"));
	EXPECT_EQ(current_value(c.text_color_combo), QStringLiteral("dark"));
	EXPECT_EQ(c.text_font_combo->currentIndex(), c.text_font_combo->count() - 1);
	EXPECT_EQ(current_value(c.mode_combo), QStringLiteral("keyboard"));
	EXPECT_EQ(current_value(c.layout_combo), QStringLiteral("us_full"));
	EXPECT_EQ(current_value(c.skin_combo), QStringLiteral("cute_bunny"));
	EXPECT_EQ(current_value(c.shortcuts_combo), QStringLiteral("photoshop"));
	EXPECT_EQ(current_value(c.sound_pack_combo), QStringLiteral("kotokoto"));
	EXPECT_EQ(c.text_lines_combo->currentText(), QStringLiteral("20 行"));
	EXPECT_EQ(c.text_size_combo->currentText(), QStringLiteral("8 px"));
	EXPECT_EQ(c.text_width_combo->currentText(), QStringLiteral("150 ％"));
	EXPECT_EQ(current_value(c.text_direction_combo), QStringLiteral("up"));
	EXPECT_FALSE(c.speed_check->isChecked());
	EXPECT_TRUE(c.sound_check->isChecked());
	EXPECT_TRUE(c.kana_check->isChecked());
	EXPECT_TRUE(c.mouse_check->isChecked());

	dock->show_state(true, true, false, false, "dock", default_options(), "white");
	EXPECT_EQ(current_value(c.text_source_combo), QStringLiteral("dock"));
	EXPECT_EQ(current_value(c.mode_combo), QStringLiteral("both"));
	EXPECT_TRUE(c.speed_check->isChecked());
	EXPECT_FALSE(c.mouse_check->isChecked());
	EXPECT_EQ(calls.option_calls(), 0u);

	// Blocking ends with the call: the streamer's next change reaches the core.
	c.mode_combo->setCurrentIndex(1);
	EXPECT_EQ(calls.options.size(), 1u);
}

TEST(DockStatus, UnofferedValuesFallBackOrLeaveNoSelection)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);

	OverlayOptions options = default_options();
	options.mode = "Keyboard";
	options.shortcuts = "krita";
	options.text_font = "No Such Family 123";
	options.text_lines = 25;
	options.text_font_size = 7;
	options.text_width = 151;
	options.text_direction = "sideways";
	options.sound_pack = "missing";
	dock->show_state(true, true, true, true, "Keys", options, "Dark");

	EXPECT_EQ(c.text_source_combo->currentIndex(), 0);
	EXPECT_EQ(c.text_color_combo->currentIndex(), 0);
	EXPECT_EQ(c.text_font_combo->currentIndex(), 0);
	EXPECT_EQ(c.mode_combo->currentIndex(), -1);
	EXPECT_EQ(c.shortcuts_combo->currentIndex(), -1);
	EXPECT_EQ(c.text_lines_combo->currentIndex(), -1);
	EXPECT_EQ(c.text_size_combo->currentIndex(), -1);
	EXPECT_EQ(c.text_width_combo->currentIndex(), -1);
	EXPECT_EQ(c.text_direction_combo->currentIndex(), -1);
	EXPECT_EQ(current_value(c.sound_pack_combo), QStringLiteral("shizuka"));

	options.text_lines = 0;
	dock->show_state(true, true, true, true, "dock", options, "white");
	EXPECT_EQ(c.text_lines_combo->currentIndex(), 0);
	EXPECT_EQ(calls.option_calls(), 0u);
}

TEST(DockStatus, SoundPackWithoutShizukaShowsNoSelection)
{
	DockCalls calls;
	DockLists lists;
	lists.sound_packs = {{"kotokoto", "ことこと"}};
	auto dock = make_recording_dock(calls, lists);
	TextDockAccess c(*dock);
	OverlayOptions options = default_options();
	options.sound_pack = "gone";
	dock->show_state(true, true, true, true, "dock", options, "white");
	EXPECT_EQ(c.sound_pack_combo->currentIndex(), -1);

	lists.sound_packs.clear();
	auto empty = make_recording_dock(calls, lists);
	TextDockAccess e(*empty);
	empty->show_state(true, true, true, true, "dock", default_options(), "white");
	EXPECT_EQ(e.sound_pack_combo->count(), 0);
	EXPECT_EQ(e.sound_pack_combo->currentIndex(), -1);
	EXPECT_EQ(e.sound_pack_combo->placeholderText(), QStringLiteral("使える音がありません"));
}

TEST(DockStatus, UnknownLayoutAndSkinAreAppendedOnce)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	const int layouts = c.layout_combo->count();
	const int skins = c.skin_combo->count();

	OverlayOptions options = default_options();
	options.layout = "dvorak";
	options.skin = "porcelain";
	for (int i = 0; i < 2; ++i)
		dock->show_state(true, true, true, true, "dock", options, "white");

	ASSERT_EQ(c.layout_combo->count(), layouts + 1);
	EXPECT_EQ(c.layout_combo->itemText(layouts), QStringLiteral("dvorak"));
	EXPECT_EQ(current_value(c.layout_combo), QStringLiteral("dvorak"));
	ASSERT_EQ(c.skin_combo->count(), skins + 1);
	EXPECT_EQ(c.skin_combo->itemText(skins), QStringLiteral("白い立体キー"));
	EXPECT_EQ(current_value(c.skin_combo), QStringLiteral("porcelain"));

	options.skin = "my_own";
	dock->show_state(true, true, true, true, "dock", options, "white");
	EXPECT_EQ(c.skin_combo->itemText(skins + 1), QStringLiteral("my_own"));
	options.skin = "porcelain";
	dock->show_state(true, true, true, true, "dock", options, "white");
	EXPECT_EQ(c.skin_combo->count(), skins + 2);
	EXPECT_EQ(c.skin_combo->currentIndex(), skins);
	EXPECT_EQ(calls.option_calls(), 0u);
}

TEST(DockStatus, RestoresEachControlsEarlierBlocking)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	c.kana_check->blockSignals(true);
	OverlayOptions options = default_options();
	options.kana = true;
	options.mode = "text";
	dock->show_state(true, true, true, true, "dock", options, "white");
	EXPECT_TRUE(c.kana_check->signalsBlocked());
	EXPECT_FALSE(c.mode_combo->signalsBlocked());
	EXPECT_FALSE(c.text_source_combo->signalsBlocked());
}

TEST(DockStatus, LeavesPlacementAndTextAlone)
{
	DockCalls calls;
	auto dock = make_recording_dock(calls);
	TextDockAccess c(*dock);
	dock->set_placement_message("置きました");
	c.text_input->setPlainText(QStringLiteral("こんにちは"));
	dock->show_state(false, false, true, true, "dock", default_options(), "white");
	EXPECT_EQ(c.placement_label->text(), QStringLiteral("置きました"));
	EXPECT_EQ(c.text_input->toPlainText(), QStringLiteral("こんにちは"));
}

} // namespace
} // namespace clackery
