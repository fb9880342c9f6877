#include "core/dock_access.h"

#include "core/capture_control.h"
#include "core/dock_host.h"
#include "core/options.h"
#include "core/privacy.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "delivery/vendor.h"
#include "dock/text_dock.h"

namespace clackery {

bool dock_exists()
{
	return control_dock() != nullptr;
}

bool dock_has_text()
{
	const TextDock *dock = control_dock();
	return dock && dock->has_text();
}

TextFrame dock_current_frame()
{
	TextFrame frame;
	if (TextDock *dock = control_dock())
		dock->current_frame(frame);
	return frame;
}

void show_state_on_dock()
{
	TextDock *dock = control_dock();
	if (!dock)
		return;
	const RuntimeState &state = runtime_state();
	dock->show_state(state.paused, state.hidden, capture_running(), vendor_record().deliveryEnabled.load(),
			 obs_data_get_string(settings(), "text_source"), current_options(),
			 obs_data_get_string(settings(), "text_color"));
	dock->show_privacy(masking_password_field(), password_fields_unwatched());
}

} // namespace clackery
