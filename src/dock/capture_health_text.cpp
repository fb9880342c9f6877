#include "dock/capture_health_text.h"

#include "common/qt_text.h"
#include "dock/control_dock.h"

#include <QLabel>

#include <algorithm>
#include <cmath>

namespace clackery {
namespace {

QString age_text(double ms)
{
	const auto seconds = static_cast<long long>(std::floor(std::max(0.0, ms) / 1000));
	if (seconds >= 3600)
		return QStringLiteral("%1 時間前").arg(seconds / 3600);
	if (seconds >= 60)
		return QStringLiteral("%1 分前").arg(seconds / 60);
	return QStringLiteral("%1 秒前").arg(seconds);
}

} // namespace

QString capture_health_text(const CaptureReport &report)
{
	QString line = QStringLiteral("キーの見張り：");
	if (report.status == "failed") {
		line += QStringLiteral("キーを拾えません（エラー %1）").arg(report.error);
	} else if (report.away) {
		line += QStringLiteral("画面ロック・スリープの間は止めています");
	} else if (report.status == "paused") {
		line += QStringLiteral("停止中");
	} else {
		line += QStringLiteral("正常");
		if (report.error != 0)
			line += QStringLiteral("・キーが押されたままか確かめられません（エラー %1）").arg(report.error);
	}
	if (report.reinstalls > 0)
		line += QStringLiteral("・つなぎ直し %1 回").arg(report.reinstalls);
	line += report.has_last_key ? QStringLiteral("・最後のキー ") + age_text(report.last_key_age_ms)
				    : QStringLiteral("・キーはまだ来ていません");
	return line;
}

QString elevated_notice_text(const CaptureReport &report)
{
	return report.elevated_foreground ? QStringLiteral("管理者として実行中のウィンドウのキーは表示できません")
					  : QString();
}

DockStatusTexts TextDock::status_texts() const
{
	DockStatusTexts texts;
	texts.run = qstring_to_utf8(run_status_label->text());
	texts.health = qstring_to_utf8(health_label->text());
	texts.capture = qstring_to_utf8(capture_health_label->text());
	if (!elevated_label->isHidden())
		texts.notice = qstring_to_utf8(elevated_label->text());
	return texts;
}

void TextDock::show_capture_health(const CaptureReport &report)
{
	capture_health_label->setText(capture_health_text(report));
	const QString notice = elevated_notice_text(report);
	elevated_label->setText(notice);
	elevated_label->setVisible(!notice.isEmpty());
}

} // namespace clackery
