// Vendor requests with arbitrary data: the first byte picks the request's row (a few values
// beyond the table too, as rows without a handler), the rest is the request's JSON as obs-websocket would hand it over.
// Never a crash; every value that reaches a service is within the bounds the requests promise;
// the reply is the one the request defines.
#include "core/options.h"
#include "core/settings.h"
#include "delivery/dispatcher.h"
#include "delivery/vendor_request.h"

#include <obs.hpp>
#include <util/base.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

using namespace clackery;

namespace {

void quiet_log(int, const char *, va_list, void *) {}

[[noreturn]] void fail(const char *what)
{
	std::fprintf(stderr, "request invariant broken: %s\n", what);
	std::abort();
}

void expect(bool ok, const char *what)
{
	if (!ok)
		fail(what);
}

bool in(std::int64_t value, std::int64_t low, std::int64_t high)
{
	return value >= low && value <= high;
}

bool unset_or_in(std::int32_t value, std::int32_t low, std::int32_t high)
{
	return value == 0 || (value >= low && value <= high);
}

Settings fuzz_settings;
std::string_view current_name = "get_state";

// What apply_options may receive: text values the merge has already made valid.
void check_options(const OverlayOptions &options)
{
	expect(in(options.sound_volume, 0, 100), "sound volume out of range");
	expect(unset_or_in(options.text_lines, 1, 20), "text lines out of range");
	expect(unset_or_in(options.text_font_size, 8, 96), "text font size out of range");
	expect(unset_or_in(options.text_width, 50, 150), "text width out of range");
	expect(options.text_direction == "skin" || options.text_direction == "up" || options.text_direction == "down",
	       "text direction not normalised");
}

struct FakeServices final : RequestServices {
	bool running() override { return true; }
	OBSDataAutoRelease build_state() override { return obs_data_create_from_json(R"({"paused":true,"rev":3})"); }
	bool post_test_key(const TestKey &key) override
	{
		expect(key.scancode <= 255 && key.vk <= 255, "test key out of range");
		return true;
	}
	RequestCounters counters() override { return RequestCounters{1, 2, 3, 4, 5, 6, 7, 8}; }
	obs_data_t *settings() override { return fuzz_settings.data; }
	bool paused() override { return true; }
	OverlayOptions current_options() override { return default_options(); }
	void apply_dock_options(const OverlayOptions &options) override
	{
		expect(current_name == "test_set_mode", "dock options applied by another request");
		expect(options.mode == "keyboard" || options.mode == "text" || options.mode == "both", "bad mode");
	}
	bool apply_options(const OverlayOptions &options, const std::string &source, const std::string &) override
	{
		check_options(options);
		if (current_name == "test_set_text_options")
			expect(source == "dock" || source == "keys", "bad text source");
		return true;
	}
	// The module's own merge, so its reading of the request is fuzzed too.
	void merge_text_options(obs_data_t *request, OverlayOptions &options) override
	{
		clackery::merge_text_options(request, options);
	}
	bool set_hotkey_bindings(obs_data_t *request) override { return request != nullptr; }
	OverlayPlacement add_overlay() override { return OverlayPlacement{true, true, false, "Clackery"}; }
	bool dock_exists() override { return true; }
	bool dock_inject_input_method(const std::string &preedit, const std::string &committed, std::int64_t cursor,
				      std::int64_t start, std::int64_t length) override
	{
		expect(preedit.size() <= 65536 && committed.size() <= 65536, "input method text too long");
		expect(in(cursor, 0, 8000) && in(start, -8000, 8000) && in(length, 0, 8000), "input method position");
		return true;
	}
	bool dock_simulate_key(const std::string &, bool, bool) override { return true; }
	bool dock_select_text(std::int64_t caret, std::int64_t anchor) override
	{
		expect(in(caret, 0, 8000) && in(anchor, 0, 8000), "selection out of range");
		return true;
	}
	void dock_press_clear() override {}
	bool dock_press_pause(bool) override { return true; }
	void dock_show(bool) override {}
	std::optional<DockImage> dock_grab(bool) override { return DockImage{"iVBORw0KGgo=", 2, 3}; }
	std::optional<DockGeometryReport> dock_geometry(const DockGeometryRequest &) override
	{
		return DockGeometryReport{};
	}
	DockStatusTexts dock_status_texts() override { return DockStatusTexts{"run", "health", "capture", ""}; }
	bool capture_event(CaptureTestKind, std::uint32_t) override { return true; }
};

FakeServices fake_services;

bool has(obs_data_t *data, const char *key)
{
	obs_data_item_t *item = obs_data_item_byname(data, key);
	obs_data_item_release(&item);
	return item != nullptr;
}

std::size_t key_count(obs_data_t *data)
{
	std::size_t count = 0;
	for (obs_data_item_t *item = obs_data_first(data); item; obs_data_item_next(&item))
		++count;
	return count;
}

// The reply keys each kind always writes (whatever the request held).
// The reply keys each request always writes (whatever the request held).
void check_reply(const VendorRequestRow &row, obs_data_t *response)
{
	const std::string_view name = row.name;
	if (!row.handler)
		expect(key_count(response) == 0, "reply to an unknown request");
	else if (name == "test_push_key")
		expect(has(response, "queued") && key_count(response) == 1, "push reply");
	else if (name == "test_counters")
		expect(key_count(response) == 9 && obs_data_get_int(response, "heatmap_resets") == 0, "counters reply");
	else if (name == "test_dock_paused")
		expect(has(response, "paused") && has(response, "applied"), "paused reply");
	else if (name == "test_set_run_on_start")
		expect(key_count(response) <= 1 && !obs_data_get_bool(response, "run_on_start"), "run on start reply");
	else if (name == "test_set_mode")
		expect(key_count(response) <= 1, "mode reply");
	else if (name == "get_state")
		expect(key_count(response) == 2, "state reply");
	else
		expect(has(response, "accepted"), "accepted missing");
	expect(obs_data_get_json(response) != nullptr, "reply does not serialise");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	base_set_log_handler(quiet_log, nullptr);
	// Default settings: the requests read the text source and colour from them.
	load_settings_at(fuzz_settings,
			 std::filesystem::temp_directory_path() / "clackery-fuzz-absent" / "config.json");
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	if (size < 1)
		return 0;
	static const VendorRequestRow unknown{"unknown", true, nullptr};
	const std::size_t index = data[0] % (kVendorRequestCount + 2);
	const VendorRequestRow &row = index < kVendorRequestCount ? kVendorRequests[index] : unknown;
	current_name = row.name;
	const std::string json(reinterpret_cast<const char *>(data + 1), size - 1);
	OBSDataAutoRelease request = obs_data_create_from_json(json.c_str());
	if (!request)
		return 0;
	OBSDataAutoRelease response = obs_data_create();
	serve_vendor_request(&fake_services, row, request, response);
	check_reply(row, response);
	return 0;
}
