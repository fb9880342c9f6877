#include "core/request_services.h"

#include "capture/hook_thread.h"
#include "capture/ring.h"
#include "core/dock_host.h"
#include "core/hotkeys.h"
#include "core/module_state.h"
#include "core/options.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "core/state_object.h"
#include "core/totals.h"
#include "dock/control_dock.h"
#include "dock/dock_geometry.h"

#include <QDockWidget>

namespace clackery {
namespace {

bool post_key(const TestKey &key)
{
	KeyRecord record;
	record.scancode = key.scancode;
	record.vk = key.vk;
	record.extended = key.extended;
	record.down = key.down;
	return post_test_key(key_ring(), record);
}

RequestCounters counters()
{
	const DeliveryCounters &delivery = delivery_counters();
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

// Shows or hides the dock's frame without taking the focus from whatever has it.
void show_dock(bool visible)
{
	TextDock *dock = control_dock();
	QWidget *target = enclosing_dock_frame(dock);
	if (!target)
		target = dock;
	const bool had = target->testAttribute(Qt::WA_ShowWithoutActivating);
	target->setAttribute(Qt::WA_ShowWithoutActivating, true);
	target->setVisible(visible);
	target->setAttribute(Qt::WA_ShowWithoutActivating, had);
}

std::optional<DockImage> grab_dock(bool floating)
{
	TextDock *dock = control_dock();
	QDockWidget *frame = enclosing_dock_frame(dock);
	if (floating && (!frame || !frame->isFloating() || !frame->isVisible()))
		return std::nullopt;
	DockImage image;
	if (!grab_dock_image(dock, image.png_base64, image.width, image.height, floating ? frame : nullptr))
		return std::nullopt;
	return image;
}

DockRequestServices dock_services()
{
	DockRequestServices dock;
	dock.exists = [] { return control_dock() != nullptr; };
	dock.inject_input_method = [](const std::string &preedit, const std::string &committed, std::int64_t cursor,
				      std::int64_t start, std::int64_t length) {
		return control_dock()->inject_input_method(preedit, committed, cursor, start, length);
	};
	dock.simulate_key = [](const std::string &key, bool shift, bool ctrl) {
		return control_dock()->simulate_key(key, shift, ctrl);
	};
	dock.select_text = [](std::int64_t caret, std::int64_t anchor) {
		return control_dock()->select_text(caret, anchor);
	};
	dock.press_clear = [] { control_dock()->press_clear_control(); };
	dock.press_pause = [](bool paused) { return control_dock()->press_pause_control(paused); };
	dock.show = show_dock;
	dock.grab = grab_dock;
	dock.geometry = [](const DockGeometryRequest &request) {
		return report_dock_geometry(enclosing_dock_frame(control_dock()), request);
	};
	return dock;
}

} // namespace

RequestServices request_services()
{
	RequestServices services;
	services.running = is_running;
	services.build_state = build_state;
	services.post_test_key = post_key;
	services.counters = counters;
	services.settings = settings;
	services.paused = [] { return runtime_state().paused; };
	services.current_options = current_options;
	services.apply_dock_options = apply_dock_options;
	services.apply_options = apply_options;
	services.merge_text_options = merge_text_options;
	services.set_hotkey_bindings = set_hotkey_bindings;
	services.add_overlay = add_overlay_with_notice;
	services.dock = dock_services();
	return services;
}

} // namespace clackery
