#include "browser_standin.h"

#include "websocket_vendor.h"

#include <obs.hpp>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace companion {
namespace {

std::mutex records_mutex;
// The request data of each "emit_event", as JSON text, in arrival order.
std::vector<std::string> records;

// Answers as obs-browser does: nothing in the response, so the caller sees status 100.
void on_emit_event(obs_data_t *request, obs_data_t *, void *)
{
	std::lock_guard<std::mutex> lock(records_mutex);
	records.emplace_back(obs_data_get_json(request));
}

// obs-websocket drops arrays of plain values: the records travel as an array of objects.
void on_browser_events(obs_data_t *, obs_data_t *response, void *)
{
	OBSDataArrayAutoRelease events = obs_data_array_create();
	std::lock_guard<std::mutex> lock(records_mutex);
	for (const std::string &text : records) {
		OBSDataAutoRelease event = obs_data_create_from_json(text.c_str());
		obs_data_array_push_back(events, event);
	}
	obs_data_set_array(response, "events", events);
	obs_data_set_int(response, "count", static_cast<long long>(records.size()));
}

void on_clear_browser_events(obs_data_t *, obs_data_t *response, void *)
{
	std::lock_guard<std::mutex> lock(records_mutex);
	obs_data_set_int(response, "cleared", static_cast<long long>(records.size()));
	records.clear();
}

RequestCallback emit_callback{on_emit_event, nullptr};
RequestCallback events_callback{on_browser_events, nullptr};
RequestCallback clear_callback{on_clear_browser_events, nullptr};

bool browser_disabled()
{
	const char *value = std::getenv("CLACKERY_TEST_NO_BROWSER");
	return value && std::string(value) == "1";
}

} // namespace

bool register_browser_standin()
{
	if (browser_disabled())
		return false;
	void *vendor = register_vendor("obs-browser");
	return vendor && register_request(vendor, "emit_event", &emit_callback);
}

bool register_browser_records(void *testVendor)
{
	return register_request(testVendor, "browser_events", &events_callback) &&
	       register_request(testVendor, "clear_browser_events", &clear_callback);
}

} // namespace companion
