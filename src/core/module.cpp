// The module's entry points: start-up and shutdown as two ordered lists.

#include "common/log.h"
#include "core/module_state.h"
#include "core/runtime_state.h"
#include "core/settings.h"
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

void log_totals()
{
	const DeliveryCounters &counters = delivery_counters();
	const unsigned long long dropped = 0;
	log_line(LOG_INFO, "totals sent=%llu dropped=%llu unknown=%llu", static_cast<unsigned long long>(counters.sent),
		 dropped, static_cast<unsigned long long>(counters.unknown));
}

// Runs once, on the UI thread, at the exit event or at unload, whichever comes first.
void shutdown_module()
{
	if (!is_running())
		return;
	set_running(false);
	// Requests in flight finish before anything they could touch is torn down.
	vendor_record().stop();
	delete_tick_timer();
	save_settings();
	log_totals();
	release_settings();
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
	set_running(true);

	RuntimeState &state = runtime_state();
	state.auto_hidden = true;
	state.hidden = true;
	state.paused = true;

	test_without_os_hook = env_is_one("CLACKERY_TEST_HOOKS") && env_is_one("CLACKERY_TEST_NO_HOOK");

	start_tick_timer();
	obs_frontend_add_event_callback(on_frontend_event, nullptr);
	event_callback_registered = true;

	log_line(LOG_INFO, "%s", kLoadedLine);
	return true;
}

RequestServices request_services()
{
	RequestServices services;
	services.running = [] { return is_running(); };
	return services;
}

// After every module has loaded, obs-websocket included.
void post_load_module()
{
	const bool testHooks = env_is_one("CLACKERY_TEST_HOOKS");
	set_request_services(request_services());
	vendor_record().start(testHooks, [](VendorRequest kind, obs_data_t *request, obs_data_t *response) {
		handle_vendor_request(kind, request, response);
	});
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
