#include "core/dock_host.h"

#include "core/capture_report.h"
#include "core/state_object.h"
#include "delivery/vendor.h"
#include "dock/control_dock.h"

#include <obs-frontend-api.h>
#include <obs.h>

#include <QDockWidget>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace clackery {
namespace {

constexpr const char *kDockId = "clackery_dock";
constexpr const char *kDockTitle = "Clackery";

#if LIBOBS_API_MAJOR_VER >= 30

bool register_with_frontend(Core &, TextDock *widget)
{
	return obs_frontend_add_dock_by_id(kDockId, kDockTitle, widget);
}

void unregister_from_frontend(Core &)
{
	obs_frontend_remove_dock(kDockId);
}

#else

// OBS 29 takes a ready QDockWidget. Qt deletes it with the main window, possibly before the
// module unloads, so both it and its menu entry are only ever reached through guarded pointers.
bool register_with_frontend(Core &core, TextDock *widget)
{
	auto *main_window = static_cast<QMainWindow *>(obs_frontend_get_main_window());
	if (!widget || !main_window)
		return false;
	auto *frame = new QDockWidget(main_window);
	frame->setObjectName(QString::fromLatin1(kDockId));
	frame->setWindowTitle(QString::fromLatin1(kDockTitle));
	frame->setWidget(widget);
	main_window->addDockWidget(Qt::RightDockWidgetArea, frame);
	auto *action = static_cast<QObject *>(obs_frontend_add_dock(frame));
	if (!action) {
		delete frame; // and the dock inside it
		return false;
	}
	// As newer frontends do: hidden and floating until the saved dock state or the user shows it.
	frame->setVisible(false);
	frame->setFloating(true);
	core.dock_frame = frame;
	core.dock_menu_action = action;
	return true;
}

void unregister_from_frontend(Core &core)
{
	// The frontend's menu entry toggles the frame through a plain pointer: it goes first.
	delete core.dock_menu_action.data();
	delete core.dock_frame.data();
}

#endif

} // namespace

void create_dock(Core &core, DockCallbacks callbacks, const DockCatalogues &catalogues)
{
	QPointer<TextDock> &dock = core.dock;
	dock = new TextDock(std::move(callbacks.set_paused), std::move(callbacks.toggle_hidden),
			    std::move(callbacks.on_text_frame), std::move(callbacks.on_text_options),
			    std::move(callbacks.on_options), std::move(callbacks.cycle_mode), catalogues.layouts,
			    catalogues.skins, std::move(callbacks.add_overlay), catalogues.shortcut_sheets,
			    catalogues.skin_names, catalogues.sound_packs);
	if (!register_with_frontend(core, dock.data())) {
		delete dock.data();
		dock = nullptr;
		return;
	}
	QDockWidget *frame = enclosing_dock_frame(dock.data());
	if (!frame)
		return;
	const auto fit_when_shown = [frame](bool shown) {
		if (shown)
			schedule_dock_fit(frame);
	};
	QObject::connect(frame, &QDockWidget::topLevelChanged, frame, fit_when_shown);
	QObject::connect(frame, &QDockWidget::visibilityChanged, frame, fit_when_shown);
	schedule_dock_fit(frame);
}

void remove_dock(Core &core)
{
	if (!core.dock)
		return;
	unregister_from_frontend(core);
	core.dock = nullptr;
}

bool dock_has_text(const Core &core)
{
	return core.dock && core.dock->has_text();
}

TextFrame dock_current_frame(const Core &core)
{
	TextFrame frame;
	if (core.dock)
		core.dock->current_frame(frame);
	return frame;
}

void show_state_on_dock(const Core &core)
{
	if (!core.dock)
		return;
	obs_data_t *settings = core.settings.data;
	const CaptureReport capture = read_capture_report();
	// A thread that runs without its hook captures nothing either.
	core.dock->show_state(core.runtime.paused, core.runtime.hidden, capture.status != "failed",
			      vendor_record().deliveryEnabled.load(), obs_data_get_string(settings, "text_source"),
			      current_options(core), obs_data_get_string(settings, "text_color"),
			      vendor_record().overlayRoad == OverlayRoad::Broadcast);
	const PrivacySnapshot &privacy = core.privacy.shown;
	core.dock->show_privacy(privacy.password_field && !core.runtime.paused,
				privacy.detector == PrivacyDetector::none);
	core.dock->show_capture_health(capture);
}

QDockWidget *enclosing_dock_frame(QWidget *widget)
{
	for (QWidget *parent = widget ? widget->parentWidget() : nullptr; parent; parent = parent->parentWidget()) {
		if (auto *frame = qobject_cast<QDockWidget *>(parent))
			return frame;
	}
	return nullptr;
}

OverlayPlacement add_overlay_with_notice(Core &core)
{
	if (!core.running)
		return OverlayPlacement{};
	return place_overlay([&core](const std::string &notice) {
		if (core.dock)
			core.dock->set_placement_message(notice);
	});
}

void schedule_dock_fit(QDockWidget *frame)
{
	if (!frame)
		return;
	// The frame as context: the fit is dropped if the frame is destroyed first.
	QTimer::singleShot(0, Qt::CoarseTimer, frame, [frame] { fit_floating_dock(frame); });
}

std::optional<QRect> fitted_dock_geometry(const QRect &frame, const QRect &available)
{
	if (frame.width() >= 320 && frame.height() >= 480)
		return std::nullopt;
	const int cap_width = available.width() * 9 / 10;
	const int cap_height = available.height() * 9 / 10;
	if (cap_width <= 0 || cap_height <= 0)
		return std::nullopt;
	const int width = std::min(cap_width, std::max(frame.width(), 400));
	const int height = std::min(cap_height, std::max(frame.height(), 820));
	const int right_limit = available.x() + available.width() - width;
	const int x = right_limit < frame.x() ? right_limit : std::max(frame.x(), available.x());
	const int bottom_limit = available.y() + available.height() - height;
	const int y = bottom_limit < frame.y() ? bottom_limit : std::max(frame.y(), available.y());
	const QRect fitted(x, y, width, height);
	if (fitted == frame)
		return std::nullopt;
	return fitted;
}

void fit_floating_dock(QDockWidget *frame)
{
	if (!frame || !frame->isFloating() || !frame->isVisible())
		return;
	const QScreen *screen = frame->screen();
	if (!screen)
		return;
	const QRect outer = frame->frameGeometry();
	const std::optional<QRect> fitted = fitted_dock_geometry(outer, screen->availableGeometry());
	if (!fitted)
		return;
	// resize() sets the client size; the decoration keeps its own size.
	frame->resize(std::max(1, fitted->width() + frame->width() - outer.width()),
		      std::max(1, fitted->height() + frame->height() - outer.height()));
	frame->move(fitted->x(), fitted->y());
}

} // namespace clackery
