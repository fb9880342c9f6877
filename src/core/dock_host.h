#pragma once
// The control dock inside the OBS frontend: built once at load with the core's callbacks,
// registered as the dock "clackery_dock" titled "Clackery", kept usable when undocked, and
// removed at shutdown. Qt or the frontend may destroy it at any time; every user goes through
// Core::dock, which is null from then on, and the calls below check it first.

#include "common/records.h"
#include "core/catalogues.h"
#include "core/core.h"
#include "overlay/overlay_source.h"

#include <QRect>

#include <functional>
#include <optional>
#include <string>

class QDockWidget;
class QWidget;

namespace clackery {

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
void create_dock(Core &core, DockCallbacks callbacks, const DockCatalogues &catalogues);

// Takes the dock out of the frontend and destroys it, unless Qt already has.
void remove_dock(Core &core);

// True when the dock's field holds text or an input-method composition.
bool dock_has_text(const Core &core);
// The field's frame with op "type" (an empty frame without a dock).
TextFrame dock_current_frame(const Core &core);
// Pushes the core's current state into the dock's controls (no callbacks run). A new status
// line of the dock takes its value here.
void show_state_on_dock(const Core &core);

// The nearest ancestor of `widget` that is a QDockWidget, or null.
QDockWidget *enclosing_dock_frame(QWidget *widget);

// Places the overlay in the current scene and shows the outcome in the dock. Does nothing
// while the module is not running. The dock's place-overlay button and the test request use it.
OverlayPlacement add_overlay_with_notice(Core &core);

// An undocked dock smaller than 320 x 480 grows to at least 400 x 820 (at most 90 % of the
// screen's available area) and is pulled back inside that area. Runs from the event loop.
void schedule_dock_fit(QDockWidget *frame);
void fit_floating_dock(QDockWidget *frame);

// The frame geometry that fit_floating_dock gives `frame` on `available`; empty when the
// frame stays as it is.
std::optional<QRect> fitted_dock_geometry(const QRect &frame, const QRect &available);

} // namespace clackery
