#include "browser_source.h"

#include "websocket_vendor.h"

#include <obs-module.h>
#include <obs.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace companion {
namespace {

struct BrowserStandIn {
	obs_source_t *source = nullptr;
	std::uint32_t width = 0;
	std::uint32_t height = 0;
};

struct SourceEvent {
	std::string source;
	std::string eventName;
	std::string jsonString;
};

std::mutex events_mutex;
// Every "javascript_event" any stand-in source received, in arrival order.
std::vector<SourceEvent> source_events;

bool env_is_one(const char *name)
{
	const char *value = std::getenv(name);
	return value && std::string(value) == "1";
}

// obs-browser's per-source procedure: the page of this one source receives the event, its
// detail parsed from jsonString.
void javascript_event(void *data, calldata_t *cd)
{
	auto *standIn = static_cast<BrowserStandIn *>(data);
	const char *eventName = calldata_string(cd, "eventName");
	const char *jsonString = calldata_string(cd, "jsonString");
	if (!eventName)
		return;
	const char *name = obs_source_get_name(standIn->source);
	std::lock_guard<std::mutex> lock(events_mutex);
	source_events.push_back({name ? name : "", eventName, jsonString ? jsonString : "{}"});
}

std::uint32_t side(obs_data_t *settings, const char *key)
{
	return static_cast<std::uint32_t>(std::clamp<long long>(obs_data_get_int(settings, key), 0, 8192));
}

const char *browser_name(void *)
{
	return "Browser (test stand-in)";
}

void browser_update(void *data, obs_data_t *settings)
{
	auto *source = static_cast<BrowserStandIn *>(data);
	source->width = side(settings, "width");
	source->height = side(settings, "height");
}

void *browser_create(obs_data_t *settings, obs_source_t *source)
{
	auto *standIn = new BrowserStandIn();
	standIn->source = source;
	browser_update(standIn, settings);
	// CLACKERY_TEST_NO_JS_EVENT=1: an obs-browser from before the procedure existed.
	if (!env_is_one("CLACKERY_TEST_NO_JS_EVENT"))
		proc_handler_add(obs_source_get_proc_handler(source),
				 "void javascript_event(string eventName, string jsonString)", javascript_event,
				 standIn);
	return standIn;
}

void browser_destroy(void *data)
{
	delete static_cast<BrowserStandIn *>(data);
}

// The real plug-in's defaults for the keys the tests read.
void browser_defaults(obs_data_t *settings)
{
	obs_data_set_default_string(settings, "url", "https://obsproject.com/browser-source");
	obs_data_set_default_bool(settings, "is_local_file", false);
	obs_data_set_default_int(settings, "width", 800);
	obs_data_set_default_int(settings, "height", 600);
	obs_data_set_default_bool(settings, "reroute_audio", false);
}

std::uint32_t browser_width(void *data)
{
	return static_cast<BrowserStandIn *>(data)->width;
}

std::uint32_t browser_height(void *data)
{
	return static_cast<BrowserStandIn *>(data)->height;
}

void browser_render(void *, gs_effect_t *) {}

// {"events": [{source, event_name, event_data}], "count"}, event_data parsed as the page's
// detail would be; "clear_source_events" empties the list.
void on_source_events(obs_data_t *, obs_data_t *response, void *)
{
	OBSDataArrayAutoRelease events = obs_data_array_create();
	std::lock_guard<std::mutex> lock(events_mutex);
	for (const SourceEvent &received : source_events) {
		OBSDataAutoRelease event = obs_data_create();
		obs_data_set_string(event, "source", received.source.c_str());
		obs_data_set_string(event, "event_name", received.eventName.c_str());
		OBSDataAutoRelease detail = obs_data_create_from_json(received.jsonString.c_str());
		obs_data_set_obj(event, "event_data", detail);
		obs_data_array_push_back(events, event);
	}
	obs_data_set_array(response, "events", events);
	obs_data_set_int(response, "count", static_cast<long long>(source_events.size()));
}

void on_clear_source_events(obs_data_t *, obs_data_t *response, void *)
{
	std::lock_guard<std::mutex> lock(events_mutex);
	obs_data_set_int(response, "cleared", static_cast<long long>(source_events.size()));
	source_events.clear();
}

RequestCallback source_events_callback{on_source_events, nullptr};
RequestCallback clear_source_events_callback{on_clear_source_events, nullptr};

} // namespace

bool register_source_records(void *testVendor)
{
	return register_request(testVendor, "source_events", &source_events_callback) &&
	       register_request(testVendor, "clear_source_events", &clear_source_events_callback);
}

void register_browser_source()
{
	if (env_is_one("CLACKERY_TEST_NO_BROWSER_SOURCE"))
		return;
	obs_source_info info = {};
	info.id = "browser_source";
	info.type = OBS_SOURCE_TYPE_INPUT;
	info.output_flags = OBS_SOURCE_VIDEO;
	info.get_name = browser_name;
	info.create = browser_create;
	info.destroy = browser_destroy;
	info.update = browser_update;
	info.get_defaults = browser_defaults;
	info.get_width = browser_width;
	info.get_height = browser_height;
	info.video_render = browser_render;
	obs_register_source(&info);
}

} // namespace companion
