// What the dock says of the keys the desktop's privacy hides. Called right after show_state,
// whose texts it amends.

#include "dock/control_dock.h"

#include <QLabel>

namespace clackery {

void TextDock::show_privacy(bool masking_password_field, bool password_fields_unwatched)
{
	if (masking_password_field)
		run_status_label->setText(QStringLiteral("パスワード入力中のため伏せています"));
	if (password_fields_unwatched)
		health_label->setText(health_label->text() + QStringLiteral(" ／ パスワード欄を見分けられません"));
}

} // namespace clackery
