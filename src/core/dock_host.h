#pragma once
// The control dock inside the OBS frontend: built once at load with the core's callbacks,
// registered as the dock "clackery_dock" titled "Clackery", kept usable when undocked, and
// removed at shutdown. Qt or the frontend may destroy it at any time; every user goes through
// control_dock(), which is null from then on.

#include "common/records.h"
#include "core/catalogues.h"
#include "overlay/overlay_source.h"

#include <QRect>

#include <functional>
#include <optional>
#include <string>

class QDockWidget;
class QWidget;

namespace clackery {

class TextDock;

// What the dock's controls call in the core. An empty callback leaves its control inert.
struct DockCallbacks {
	std::function<void(bool paused)> set_paused;
	std::function<void()> toggle_hidden;
	std::function<void(const TextFrame &)> on_text_frame;
	std::function<void(const std::string &text_source, const std::string &text_color)> on_text_options;
	std::function<void(const OverlayOptions &)> on_options;
	std::function<void()> cycle_mode;
	std::function<void()> add_overlay;
};

// Builds the dock and hands it to the frontend. When the frontend refuses it, the dock is
// deleted and the module runs without one.
void create_dock(DockCallbacks callbacks, const DockCatalogues &catalogues);

// Takes the dock out of the frontend and destroys it, unless Qt already has.
void remove_dock();

// The dock, or null when there is none (never built, refused, or destroyed).
TextDock *control_dock();

// The nearest ancestor of `widget` that is a QDockWidget, or null.
QDockWidget *enclosing_dock_frame(QWidget *widget);

// Places the overlay in the current scene and shows the outcome in the dock. Does nothing
// while the module is not running. The dock's place-overlay button and the test request use it.
OverlayPlacement add_overlay_with_notice();

// An undocked dock smaller than 320 x 480 grows to at least 400 x 820 (at most 90 % of the
// screen's available area) and is pulled back inside that area. Runs from the event loop.
void schedule_dock_fit(QDockWidget *frame);
void fit_floating_dock(QDockWidget *frame);

// The frame geometry that fit_floating_dock gives `frame` on `available`; empty when the
// frame stays as it is.
std::optional<QRect> fitted_dock_geometry(const QRect &frame, const QRect &available);

} // namespace clackery
