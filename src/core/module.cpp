// The module's entry points: start-up and shutdown as two ordered lists.

#include "capture/capture_log.h"
#include "capture/hook_thread.h"
#include "capture/ring.h"
#include "common/log.h"
#include "core/catalogues.h"
#include "core/data_files.h"
#include "core/dock_host.h"
#include "core/hotkeys.h"
#include "core/keys_state.h"
#include "core/module_state.h"
#include "core/options.h"
#include "core/privacy.h"
#include "core/request_services.h"
#include "core/ring_wake.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "core/text_relay.h"
#include "core/tick.h"
#include "core/totals.h"
#include "delivery/dispatcher.h"
#include "delivery/vendor.h"

#include <obs-frontend-api.h>
#include <obs-module.h>

#include <QPointer>
#include <QTimer>

#include <cstdlib>

namespace clackery {
namespace {

constexpr const char *kLoadedLine = "plugin loaded (version 0.1.0, build 2026-11-29b)";

QPointer<QTimer> tick_timer;
bool event_callback_registered = false;
bool test_without_os_hook = false;

bool env_is_one(const char *name)
{
	const char *value = std::getenv(name);
	return value && value[0] == '1' && value[1] == '\0';
}

void start_tick_timer()
{
	auto *timer = new QTimer();
	tick_timer = timer;
	// Key events leave at a steady 8 ms rhythm only with a precise timer.
	timer->setTimerType(Qt::PreciseTimer);
	timer->setInterval(8);
	QObject::connect(timer, &QTimer::timeout, timer, [] { tick(); });
	timer->start();
}

void delete_tick_timer()
{
	if (tick_timer) {
		tick_timer->stop();
		delete tick_timer.data();
	}
}

void log_hook_result(bool hook_ok)
{
	if (!hook_ok)
		log_line(LOG_WARNING, "hook failed error=%lu", static_cast<unsigned long>(hook_last_error(key_ring())));
	else if (test_without_os_hook)
		log_line(LOG_INFO, "test OS hook disabled; queue thread active");
	else
		log_line(LOG_INFO, "hook installed");
}

// What the dock's controls call in the core.
DockCallbacks dock_callbacks()
{
	DockCallbacks callbacks;
	callbacks.set_paused = set_paused;
	callbacks.toggle_hidden = toggle_hidden;
	callbacks.on_text_frame = on_dock_text;
	callbacks.on_text_options = apply_text_source_and_color;
	callbacks.on_options = apply_dock_options;
	callbacks.cycle_mode = cycle_mode;
	callbacks.add_overlay = [] { add_overlay_with_notice(); };
	return callbacks;
}

void log_totals()
{
	const DeliveryCounters &counters = delivery_counters();
	const RingCounters ring = read_ring_counters(key_ring());
	log_line(LOG_INFO, "totals sent=%llu dropped=%llu unknown=%llu", static_cast<unsigned long long>(counters.sent),
		 static_cast<unsigned long long>(ring.dropped), static_cast<unsigned long long>(counters.unknown));
}

// The steps that free what request work may still hold: the settings, the hotkeys, the dock.
void finish_shutdown()
{
	save_settings();
	unregister_hotkeys();
	remove_dock();
	log_totals();
	release_settings();
}

// Runs once, on the UI thread, at the exit event or at unload, whichever comes first.
void shutdown_module()
{
	if (!is_running())
		return;
	set_running(false);
	// Requests in flight finish before anything they could touch is torn down.
	vendor_record().stop();
	bump_generation(key_ring(), false); // the hook stops queueing
	delete_tick_timer();
	stop_hook_thread(key_ring());
	stop_ring_wake(); // the hook thread is joined: nothing is inside the wake
	stop_privacy_watcher();
	held_keys().clear();
	clear_keys_text();
	// The host's interrupt handler may shut down from inside a request's work on this thread (a
	// dock grab, a settings save): that work resumes after this returns, so what it uses is
	// freed only once it has returned.
	if (!vendor_record().gate.defer_until_work_returns(finish_shutdown))
		finish_shutdown();
}

void on_frontend_event(enum obs_frontend_event event, void *)
{
	if (event != OBS_FRONTEND_EVENT_EXIT)
		return;
	obs_frontend_remove_event_callback(on_frontend_event, nullptr);
	event_callback_registered = false;
	shutdown_module();
}

void shutdown_and_unregister(void *)
{
	shutdown_module();
	if (event_callback_registered) {
		obs_frontend_remove_event_callback(on_frontend_event, nullptr);
		event_callback_registered = false;
	}
}

bool load_module()
{
	load_settings();
	load_text_layout();
	// Gathered for the dock's selectors; released once the dock is built.
	DockCatalogues for_dock;
	for_dock.sound_packs = load_sound_packs();
	set_running(true);

	for_dock.skins = list_skins();
	correct_skin_setting(for_dock.skins);
	for_dock.shortcut_sheets = list_shortcut_sheets();
	correct_shortcuts_setting(for_dock.shortcut_sheets);

	RuntimeState &state = runtime_state();
	state.auto_hidden = true;
	state.hidden = true;
	state.paused = true;

	for_dock.skin_names = skin_display_names(for_dock.skins);
	for_dock.layouts = list_layouts();

	create_dock(dock_callbacks(), for_dock);
	register_hotkeys();

	test_without_os_hook = env_is_one("CLACKERY_TEST_HOOKS") && env_is_one("CLACKERY_TEST_NO_HOOK");
	// Why the system's key source is missing or went away, from the hook thread.
	set_capture_log_sink([](const char *line) { log_line(LOG_WARNING, "%s", line); });
	// Without it keys still leave, at the tick.
	start_ring_wake();
	const bool hook_ok = start_hook_thread(key_ring(), !test_without_os_hook);
	// Capture opens only once the user resumes.
	bump_generation(key_ring(), !state.paused);
	log_hook_result(hook_ok);
	// Password fields and the screen lock, watched off the tick and off the hook thread.
	start_privacy_watcher();

	start_tick_timer();
	obs_frontend_add_event_callback(on_frontend_event, nullptr);
	event_callback_registered = true;
	// Delivery is not enabled yet: this only brings the dock up to date.
	publish_state(false);

	log_line(LOG_INFO, "%s", kLoadedLine);
	return true;
}

// After every module has loaded, obs-websocket included.
void post_load_module()
{
	const bool testHooks = env_is_one("CLACKERY_TEST_HOOKS");
	set_request_services(request_services());
	vendor_record().start(testHooks, [](VendorRequest kind, obs_data_t *request, obs_data_t *response) {
		handle_vendor_request(kind, request, response);
	});
	// The page's first state, on the browser road only.
	publish_state(false);
}

void unload_module()
{
	if (!is_running() && !event_callback_registered)
		return;
	if (obs_in_task_thread(OBS_TASK_UI))
		shutdown_and_unregister(nullptr);
	else
		obs_queue_task(OBS_TASK_UI, shutdown_and_unregister, nullptr, true);
}

} // namespace
} // namespace clackery

MODULE_EXPORT void obs_module_set_pointer(obs_module_t *module);
MODULE_EXPORT uint32_t obs_module_ver(void);

void obs_module_set_pointer(obs_module_t *module)
{
	clackery::set_module_pointer(module);
}

uint32_t obs_module_ver(void)
{
	return 0x20020002; // 32.2.2: the libobs version this module declares
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
