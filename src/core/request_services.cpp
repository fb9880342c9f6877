#include "core/request_services.h"

#include "capture/hook_thread.h"
#include "capture/ring.h"
#include "core/dock_host.h"
#include "core/hotkeys.h"
#include "core/options.h"
#include "core/runtime_state.h"
#include "core/state_object.h"
#include "dock/control_dock.h"
#include "dock/dock_geometry.h"

#include <QDockWidget>

namespace clackery {

bool CoreRequests::running()
{
	return core_.running;
}

OBSDataAutoRelease CoreRequests::build_state()
{
	return clackery::build_state(core_);
}

bool CoreRequests::post_test_key(const TestKey &key)
{
	KeyRecord record;
	record.scancode = key.scancode;
	record.vk = key.vk;
	record.extended = key.extended;
	record.down = key.down;
	return clackery::post_test_key(key_ring(), record);
}

RequestCounters CoreRequests::counters()
{
	const DeliveryCounters &delivery = core_.totals;
	const RingCounters ring = read_ring_counters(key_ring());
	RequestCounters out;
	out.sent = delivery.sent;
	out.queued = ring.queued;
	out.dropped = ring.dropped;
	out.paused = ring.paused;
	out.unknown = delivery.unknown;
	out.repeated = delivery.repeated;
	out.text_sent = delivery.text_sent;
	out.text_paused = delivery.text_paused;
	return out;
}

obs_data_t *CoreRequests::settings()
{
	return core_.settings.data;
}

bool CoreRequests::paused()
{
	return core_.runtime.paused;
}

OverlayOptions CoreRequests::current_options()
{
	return clackery::current_options(core_);
}

void CoreRequests::apply_dock_options(const OverlayOptions &options)
{
	clackery::apply_dock_options(core_, options);
}

bool CoreRequests::apply_options(const OverlayOptions &options, const std::string &text_source,
				 const std::string &text_color)
{
	return clackery::apply_options(core_, options, text_source, text_color);
}

void CoreRequests::merge_text_options(obs_data_t *request, OverlayOptions &options)
{
	clackery::merge_text_options(request, options);
}

bool CoreRequests::set_hotkey_bindings(obs_data_t *request)
{
	if (!clackery::set_hotkey_bindings(core_, request))
		return false;
	publish_state(core_, true);
	return true;
}

OverlayPlacement CoreRequests::add_overlay()
{
	return add_overlay_with_notice(core_);
}

bool CoreRequests::dock_exists()
{
	return core_.dock != nullptr;
}

bool CoreRequests::dock_inject_input_method(const std::string &preedit, const std::string &committed,
					    std::int64_t cursor, std::int64_t replacement_start,
					    std::int64_t replacement_length)
{
	return core_.dock->inject_input_method(preedit, committed, cursor, replacement_start, replacement_length);
}

bool CoreRequests::dock_simulate_key(const std::string &key, bool shift, bool ctrl)
{
	return core_.dock->simulate_key(key, shift, ctrl);
}

bool CoreRequests::dock_select_text(std::int64_t caret, std::int64_t anchor)
{
	return core_.dock->select_text(caret, anchor);
}

void CoreRequests::dock_press_clear()
{
	core_.dock->press_clear_control();
}

bool CoreRequests::dock_press_pause(bool paused)
{
	return core_.dock->press_pause_control(paused);
}

// Shows or hides the dock's frame without taking the focus from whatever has it.
void CoreRequests::dock_show(bool visible)
{
	TextDock *dock = core_.dock.data();
	QWidget *target = enclosing_dock_frame(dock);
	if (!target)
		target = dock;
	const bool had = target->testAttribute(Qt::WA_ShowWithoutActivating);
	target->setAttribute(Qt::WA_ShowWithoutActivating, true);
	target->setVisible(visible);
	target->setAttribute(Qt::WA_ShowWithoutActivating, had);
}

std::optional<DockImage> CoreRequests::dock_grab(bool floating)
{
	TextDock *dock = core_.dock.data();
	QDockWidget *frame = enclosing_dock_frame(dock);
	if (floating && (!frame || !frame->isFloating() || !frame->isVisible()))
		return std::nullopt;
	DockImage image;
	if (!grab_dock_image(dock, image.png_base64, image.width, image.height, floating ? frame : nullptr))
		return std::nullopt;
	return image;
}

std::optional<DockGeometryReport> CoreRequests::dock_geometry(const DockGeometryRequest &request)
{
	return report_dock_geometry(enclosing_dock_frame(core_.dock.data()), request);
}

DockStatusTexts CoreRequests::dock_status_texts()
{
	return core_.dock->status_texts();
}

bool CoreRequests::capture_event(CaptureTestKind kind, std::uint32_t error)
{
	// A lock stands for every absence: the capture thread handles them alike.
	switch (kind) {
	case CaptureTestKind::hook_lost:
		return post_capture_test_event(key_ring(), static_cast<std::uint32_t>(CaptureTestEvent::hook_lost),
					       error);
	case CaptureTestKind::away:
		return post_capture_test_event(key_ring(), static_cast<std::uint32_t>(CaptureTestEvent::away),
					       AWAY_LOCKED);
	case CaptureTestKind::back:
		return post_capture_test_event(key_ring(), static_cast<std::uint32_t>(CaptureTestEvent::back),
					       AWAY_LOCKED);
	case CaptureTestKind::elevated:
		return post_capture_test_event(key_ring(), static_cast<std::uint32_t>(CaptureTestEvent::foreground), 1);
	case CaptureTestKind::not_elevated:
		return post_capture_test_event(key_ring(), static_cast<std::uint32_t>(CaptureTestEvent::foreground), 0);
	}
	return false;
}

} // namespace clackery
