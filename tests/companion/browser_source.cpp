#include "browser_source.h"

#include <obs-module.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace companion {
namespace {

struct BrowserStandIn {
	std::uint32_t width = 0;
	std::uint32_t height = 0;
};

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

void *browser_create(obs_data_t *settings, obs_source_t *)
{
	auto *source = new BrowserStandIn();
	browser_update(source, settings);
	return source;
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

} // namespace

void register_browser_source()
{
	const char *absent = std::getenv("CLACKERY_TEST_NO_BROWSER_SOURCE");
	if (absent && std::string(absent) == "1")
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
