// Vendor requests with arbitrary data: the first byte picks the request kind (a few values
// beyond the last kind too), the rest is the request's JSON as obs-websocket would hand it over.
// Never a crash; every value that reaches a service is within the bounds the requests promise;
// the reply is the one the request defines.
#include "core/options.h"
#include "core/settings.h"
#include "delivery/dispatcher.h"

#include <obs.hpp>
#include <util/base.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

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

VendorRequest current_kind = VendorRequest::GetState;

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

RequestServices fake_services()
{
	RequestServices s;
	s.running = [] { return true; };
	s.build_state = [] { return OBSDataAutoRelease(obs_data_create_from_json(R"({"paused":true,"rev":3})")); };
	s.post_test_key = [](const TestKey &key) {
		expect(key.scancode <= 255 && key.vk <= 255, "test key out of range");
		return true;
	};
	s.counters = [] { return RequestCounters{1, 2, 3, 4, 5, 6, 7, 8}; };
	s.settings = [] { return settings(); };
	s.paused = [] { return true; };
	s.current_options = [] { return default_options(); };
	s.apply_dock_options = [](const OverlayOptions &options) {
		expect(current_kind == VendorRequest::TestSetMode, "dock options applied by another request");
		expect(options.mode == "keyboard" || options.mode == "text" || options.mode == "both", "bad mode");
	};
	s.apply_options = [](const OverlayOptions &options, const std::string &source, const std::string &) {
		check_options(options);
		if (current_kind == VendorRequest::TestSetTextOptions)
			expect(source == "dock" || source == "keys", "bad text source");
		return true;
	};
	// The module's own merge, so its reading of the request is fuzzed too.
	s.merge_text_options = merge_text_options;
	s.set_hotkey_bindings = [](obs_data_t *request) { return request != nullptr; };
	s.add_overlay = [] { return OverlayPlacement{true, true, false, "Clackery"}; };
	s.dock.exists = [] { return true; };
	s.dock.inject_input_method = [](const std::string &preedit, const std::string &committed, std::int64_t cursor,
					std::int64_t start, std::int64_t length) {
		expect(preedit.size() <= 65536 && committed.size() <= 65536, "input method text too long");
		expect(in(cursor, 0, 8000) && in(start, -8000, 8000) && in(length, 0, 8000), "input method position");
		return true;
	};
	s.dock.simulate_key = [](const std::string &, bool, bool) { return true; };
	s.dock.select_text = [](std::int64_t caret, std::int64_t anchor) {
		expect(in(caret, 0, 8000) && in(anchor, 0, 8000), "selection out of range");
		return true;
	};
	s.dock.press_clear = [] {};
	s.dock.press_pause = [](bool) { return true; };
	s.dock.show = [](bool) {};
	s.dock.grab = [](bool) { return std::optional<DockImage>(DockImage{"iVBORw0KGgo=", 2, 3}); };
	s.dock.geometry = [](const DockGeometryRequest &) {
		return std::optional<DockGeometryReport>(DockGeometryReport{});
	};
	return s;
}

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
void check_reply(VendorRequest kind, obs_data_t *response)
{
	const auto index = static_cast<std::uint32_t>(kind);
	if (index >= kVendorRequestCount) {
		expect(key_count(response) == 0, "reply to an unknown kind");
		return;
	}
	switch (kind) {
	case VendorRequest::TestPushKey:
		expect(has(response, "queued") && key_count(response) == 1, "push reply");
		break;
	case VendorRequest::TestCounters:
		expect(key_count(response) == 9 && obs_data_get_int(response, "heatmap_resets") == 0, "counters reply");
		break;
	case VendorRequest::TestDockPaused:
		expect(has(response, "paused") && has(response, "applied"), "paused reply");
		break;
	case VendorRequest::TestSetRunOnStart:
		expect(key_count(response) <= 1 && !obs_data_get_bool(response, "run_on_start"), "run on start reply");
		break;
	case VendorRequest::TestSetMode:
		expect(key_count(response) <= 1, "mode reply");
		break;
	case VendorRequest::GetState:
		expect(key_count(response) == 2, "state reply");
		break;
	default:
		expect(has(response, "accepted"), "accepted missing");
		break;
	}
	expect(obs_data_get_json(response) != nullptr, "reply does not serialise");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	base_set_log_handler(quiet_log, nullptr);
	// Default settings: the requests read the text source and colour from them.
	load_settings_at(std::filesystem::temp_directory_path() / "clackery-fuzz-absent" / "config.json");
	set_request_services(fake_services());
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	if (size < 1)
		return 0;
	current_kind = static_cast<VendorRequest>(data[0] % (kVendorRequestCount + 2));
	const std::string json(reinterpret_cast<const char *>(data + 1), size - 1);
	OBSDataAutoRelease request = obs_data_create_from_json(json.c_str());
	if (!request)
		return 0;
	OBSDataAutoRelease response = obs_data_create();
	handle_vendor_request(current_kind, request, response);
	check_reply(current_kind, response);
	return 0;
}
