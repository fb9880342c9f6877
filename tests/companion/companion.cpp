// A test-only OBS module that gives host tests what they need of the host: closing the main
// window on the UI thread (a clean exit that runs the frontend exit event), pressing
// registered hotkeys as the frontend's routing would, a stand-in for obs-browser, and vendor
// requests made from the UI thread as another plug-in would, and notes of what a test checked
// in OBS's log. Never installed by the run command.

#include "browser_source.h"
#include "browser_standin.h"
#include "dock_driver.h"
#include "probes.h"
#include "websocket_vendor.h"

#include <obs.hpp>

#include <obs-frontend-api.h>
#include <obs-module.h>

#include <QMainWindow>

#include <string>

namespace {

obs_module_t *module_pointer = nullptr;

void close_main_window(void *)
{
	if (auto *window = static_cast<QMainWindow *>(obs_frontend_get_main_window()))
		window->close();
}

void on_close_main_window(obs_data_t *, obs_data_t *response, void *)
{
	obs_queue_task(OBS_TASK_UI, close_main_window, nullptr, false);
	obs_data_set_bool(response, "queued", true);
}

struct HotkeySearch {
	std::string name;
	obs_hotkey_id id = OBS_INVALID_HOTKEY_ID;
};

bool find_hotkey(void *data, obs_hotkey_id id, obs_hotkey_t *hotkey)
{
	auto *search = static_cast<HotkeySearch *>(data);
	if (search->name != obs_hotkey_get_name(hotkey))
		return true;
	search->id = id;
	return false;
}

// Presses and releases a hotkey by its registered name, as a user's key press would.
void on_trigger_hotkey(obs_data_t *request, obs_data_t *response, void *)
{
	HotkeySearch search{obs_data_get_string(request, "name")};
	obs_enum_hotkeys(find_hotkey, &search);
	const bool found = search.id != OBS_INVALID_HOTKEY_ID;
	if (found) {
		obs_hotkey_trigger_routed_callback(search.id, true);
		obs_hotkey_trigger_routed_callback(search.id, false);
	}
	obs_data_set_bool(response, "found", found);
}

struct UiCall {
	std::string json;
	companion::RequestOutcome outcome;
};

void run_ui_call(void *data)
{
	auto *call = static_cast<UiCall *>(data);
	call->outcome = companion::call_request("CallVendorRequest", call->json.c_str());
}

// Calls another vendor's request from the UI thread and waits for its answer there: a vendor
// that queued such a request to the UI thread instead of serving it at once would hang.
void on_ui_call_vendor(obs_data_t *request, obs_data_t *response, void *)
{
	OBSDataAutoRelease call_data = obs_data_create();
	obs_data_set_string(call_data, "vendorName", obs_data_get_string(request, "vendorName"));
	obs_data_set_string(call_data, "requestType", obs_data_get_string(request, "requestType"));
	UiCall call{obs_data_get_json(call_data), {}};
	obs_queue_task(OBS_TASK_UI, run_ui_call, &call, true);
	obs_data_set_bool(response, "answered", call.outcome.answered);
	obs_data_set_int(response, "status", call.outcome.status);
	OBSDataAutoRelease reply = obs_data_create_from_json(call.outcome.responseJson.c_str());
	if (reply)
		obs_data_set_obj(response, "reply", reply);
}

void set_preview(void *data)
{
	obs_frontend_set_preview_enabled(*static_cast<bool *>(data));
}

// Turns OBS's preview on or off: under Xvfb it is drawn in software, and a benchmark can then
// tell the renderer's share of the machine from the module's.
void on_set_preview(obs_data_t *request, obs_data_t *response, void *)
{
	bool enabled = obs_data_get_bool(request, "enabled");
	obs_queue_task(OBS_TASK_UI, set_preview, &enabled, true);
	obs_data_set_bool(response, "enabled", obs_frontend_preview_enabled());
}

// Writes what a test has checked into OBS's log, so that the log reads as a record of the run.
void on_note(obs_data_t *request, obs_data_t *response, void *)
{
	blog(LOG_INFO, "[clackery-test] checked: %s", obs_data_get_string(request, "text"));
	obs_data_set_bool(response, "logged", true);
}

companion::RequestCallback close_callback{on_close_main_window, nullptr};
companion::RequestCallback note_callback{on_note, nullptr};
companion::RequestCallback hotkey_callback{on_trigger_hotkey, nullptr};
companion::RequestCallback ui_call_callback{on_ui_call_vendor, nullptr};
companion::RequestCallback preview_callback{on_set_preview, nullptr};

} // namespace

MODULE_EXPORT void obs_module_set_pointer(obs_module_t *module);
MODULE_EXPORT uint32_t obs_module_ver(void);

void obs_module_set_pointer(obs_module_t *module)
{
	module_pointer = module;
}

obs_module_t *obs_current_module(void)
{
	return module_pointer;
}

uint32_t obs_module_ver(void)
{
	return LIBOBS_API_VER;
}

bool obs_module_load(void)
{
	companion::register_browser_source();
	return true;
}

void obs_module_post_load(void)
{
	// Before the module's own post-load step (it runs in reverse load order), so the module's
	// first event already finds the stand-in.
	const bool browser = companion::register_browser_standin();
	blog(LOG_INFO, "[clackery-test] browser stand-in %s", browser ? "registered" : "absent");

	void *vendor = companion::register_vendor("clackery_test");
	const bool ok = companion::register_request(vendor, "close_main_window", &close_callback) &&
			companion::register_request(vendor, "trigger_hotkey", &hotkey_callback) &&
			companion::register_request(vendor, "note", &note_callback) &&
			companion::register_request(vendor, "ui_call_vendor", &ui_call_callback) &&
			companion::register_request(vendor, "set_preview", &preview_callback) &&
			companion::register_browser_records(vendor) && companion::register_source_records(vendor) &&
			companion::register_dock_driver(vendor) && companion::register_probes(vendor);
	blog(ok ? LOG_INFO : LOG_WARNING, "[clackery-test] companion %s", ok ? "ready" : "could not register");
}
