// The module's entry points: start-up and shutdown as two ordered lists.

#include "capture/capture_log.h"
#include "capture/hook_thread.h"
#include "capture/ring.h"
#include "common/log.h"
#include "core/catalogues.h"
#include "core/core.h"
#include "core/data_files.h"
#include "core/dock_host.h"
#include "core/hotkeys.h"
#include "core/module_info.h"
#include "core/options.h"
#include "core/privacy.h"
#include "core/request_services.h"
#include "core/ring_wake.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "core/text_relay.h"
#include "core/tick.h"
#include "delivery/dispatcher.h"
#include "delivery/vendor.h"

#include <obs-frontend-api.h>
#include <obs-module.h>

#include <QTimer>

#include <cstdlib>
#include <memory>

OBS_DECLARE_MODULE()

namespace clackery {
namespace {

constexpr const char *kLoadedLine = "plugin loaded (version " CLACKERY_VERSION ", build " CLACKERY_BUILD_TAG ")";

// The one owner of the core's state, from load to the end of shutdown; the host's callbacks
// (frontend events, unload) find it here, everything else is handed it.
std::unique_ptr<Core> the_core;
std::unique_ptr<CoreRequests> the_requests;

bool env_is_one(const char *name)
{
	const char *value = std::getenv(name);
	return value && value[0] == '1' && value[1] == '\0';
}

void start_tick_timer(Core &core)
{
	auto *timer = new QTimer();
	core.tick_timer = timer;
	// Key events leave at a steady 8 ms rhythm only with a precise timer.
	timer->setTimerType(Qt::PreciseTimer);
	timer->setInterval(8);
	QObject::connect(timer, &QTimer::timeout, timer, [&core] { tick(core); });
	timer->start();
}

void delete_tick_timer(Core &core)
{
	if (core.tick_timer) {
		core.tick_timer->stop();
		delete core.tick_timer.data();
	}
}

void log_hook_result(const Core &core, bool hook_ok)
{
	if (!hook_ok)
		log_line(LOG_WARNING, "hook failed error=%lu", static_cast<unsigned long>(hook_last_error(key_ring())));
	else if (core.test_without_os_hook)
		log_line(LOG_INFO, "test OS hook disabled; queue thread active");
	else
		log_line(LOG_INFO, "hook installed");
}

// What the dock's controls call in the core. Qt may keep the dock after the core is gone (its
// frame is the main window's), so the controls find the core through its owner, or do nothing.
DockCallbacks dock_callbacks()
{
	DockCallbacks callbacks;
	callbacks.set_paused = [](bool paused) {
		if (the_core)
			set_paused(*the_core, paused);
	};
	callbacks.toggle_hidden = [] {
		if (the_core)
			toggle_hidden(*the_core);
	};
	callbacks.on_text_frame = [](const TextFrame &frame) {
		if (the_core)
			on_dock_text(*the_core, frame);
	};
	callbacks.on_text_options = [](const std::string &source, const std::string &color) {
		if (the_core)
			apply_text_source_and_color(*the_core, source, color);
	};
	callbacks.on_options = [](const OverlayOptions &options) {
		if (the_core)
			apply_dock_options(*the_core, options);
	};
	callbacks.cycle_mode = [] {
		if (the_core)
			cycle_mode(*the_core);
	};
	callbacks.add_overlay = [] {
		if (the_core)
			add_overlay_with_notice(*the_core);
	};
	return callbacks;
}

void log_totals(const Core &core)
{
	const DeliveryCounters &counters = core.totals;
	const RingCounters ring = read_ring_counters(key_ring());
	log_line(LOG_INFO, "totals sent=%llu dropped=%llu unknown=%llu", static_cast<unsigned long long>(counters.sent),
		 static_cast<unsigned long long>(ring.dropped), static_cast<unsigned long long>(counters.unknown));
}

// The steps that free what request work may still hold: the settings, the hotkeys, the dock,
// and last the core itself.
void finish_shutdown()
{
	Core &core = *the_core;
	save_settings_and_hotkeys(core);
	unregister_hotkeys(core);
	remove_dock(core);
	log_totals(core);
	release_settings(core.settings);
	the_requests.reset();
	the_core.reset();
}

// Runs once, on the UI thread, at the exit event or at unload, whichever comes first.
void shutdown_module()
{
	if (!the_core || !the_core->running)
		return;
	Core &core = *the_core;
	core.running = false;
	// Requests in flight finish before anything they could touch is torn down.
	vendor_record().stop();
	bump_generation(key_ring(), false); // the hook stops queueing
	delete_tick_timer(core);
	stop_hook_thread(key_ring());
	stop_ring_wake(core); // the hook thread is joined: nothing is inside the wake
	stop_privacy_watcher(core);
	core.held_keys.clear();
	core.held_buttons = {};
	clear_keys_text(core.keys_text);
	// The host's interrupt handler may shut down from inside a request's work on this thread (a
	// dock grab, a settings save): that work resumes after this returns, so what it uses is
	// freed only once it has returned.
	if (!vendor_record().gate.defer_until_work_returns(finish_shutdown))
		finish_shutdown();
}

void on_frontend_event(enum obs_frontend_event event, void *data)
{
	if (event != OBS_FRONTEND_EVENT_EXIT)
		return;
	obs_frontend_remove_event_callback(on_frontend_event, data);
	static_cast<Core *>(data)->event_callback_registered = false;
	shutdown_module();
}

void shutdown_and_unregister(void *)
{
	// Removed first: the callback's data is the core, which shutdown may free.
	if (the_core && the_core->event_callback_registered) {
		obs_frontend_remove_event_callback(on_frontend_event, the_core.get());
		the_core->event_callback_registered = false;
	}
	shutdown_module();
}

bool load_module()
{
	the_core = std::make_unique<Core>();
	Core &core = *the_core;
	load_settings(core.settings);
	load_text_layout(core.settings);
	// Gathered for the dock's selectors; released once the dock is built.
	DockCatalogues for_dock;
	for_dock.sound_packs = load_sound_packs(core.settings);
	core.running = true;

	for_dock.skins = list_skins();
	correct_skin_setting(core.settings, for_dock.skins);
	for_dock.shortcut_sheets = list_shortcut_sheets();
	correct_shortcuts_setting(core.settings, for_dock.shortcut_sheets);

	RuntimeState &state = core.runtime;
	state.auto_hidden = true;
	state.hidden = true;
	state.paused = true;

	for_dock.skin_names = skin_display_names(for_dock.skins);
	for_dock.layouts = list_layouts();

	create_dock(core, dock_callbacks(), for_dock);
	register_hotkeys(core, {toggle_paused, toggle_hidden, cycle_mode});

	core.test_without_os_hook = env_is_one("CLACKERY_TEST_HOOKS") && env_is_one("CLACKERY_TEST_NO_HOOK");
	// Why the system's key source is missing or went away, from the hook thread.
	set_capture_log_sink([](const char *line) { log_line(LOG_WARNING, "%s", line); });
	// Without it keys still leave, at the tick.
	start_ring_wake(core);
	// The thread registers the mouse as it starts when the option is on, and only then.
	set_mouse_capture(key_ring(), obs_data_get_bool(core.settings.data, "mouse"));
	const bool hook_ok = start_hook_thread(key_ring(), !core.test_without_os_hook);
	// Capture opens only once the user resumes.
	bump_generation(key_ring(), !state.paused);
	log_hook_result(core, hook_ok);
	// Password fields and the screen lock, watched off the tick and off the hook thread.
	start_privacy_watcher(core);

	start_tick_timer(core);
	obs_frontend_add_event_callback(on_frontend_event, &core);
	core.event_callback_registered = true;
	// Delivery is not enabled yet: this only brings the dock up to date.
	publish_state(core, false);

	log_line(LOG_INFO, "%s", kLoadedLine);
	return true;
}

// After every module has loaded, obs-websocket included.
void post_load_module()
{
	if (!the_core)
		return;
	const bool testHooks = env_is_one("CLACKERY_TEST_HOOKS");
	the_requests = std::make_unique<CoreRequests>(*the_core);
	RequestServices *services = the_requests.get();
	vendor_record().start(testHooks,
			      [services](const VendorRequestRow &row, obs_data_t *request, obs_data_t *response) {
				      serve_vendor_request(services, row, request, response);
			      });
	// The page's first state, on the browser road only.
	publish_state(*the_core, false);
}

void unload_module()
{
	if (!the_core)
		return;
	if (obs_in_task_thread(OBS_TASK_UI))
		shutdown_and_unregister(nullptr);
	else
		obs_queue_task(OBS_TASK_UI, shutdown_and_unregister, nullptr, true);
}

} // namespace
} // namespace clackery

const char *obs_module_name(void)
{
	return CLACKERY_MODULE_NAME;
}

const char *obs_module_description(void)
{
	return "キーの動きを表示する Clackery";
}

bool obs_module_load(void)
{
	return clackery::load_module();
}

void obs_module_post_load(void)
{
	clackery::post_load_module();
}

void obs_module_unload(void)
{
	clackery::unload_module();
}
