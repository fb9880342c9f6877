#pragma once
// Serves the vendor requests on the UI thread (always reached through the request gate). The
// core's services arrive as callbacks, so this folder never includes core or dock headers.

#include "common/records.h"
#include "common/request_records.h"
#include "delivery/vendor_request.h"

#include <obs.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace clackery {

// The counters of "test_counters", counted since load.
struct RequestCounters {
	std::uint64_t sent = 0;
	std::uint64_t queued = 0;
	std::uint64_t dropped = 0;
	std::uint64_t paused = 0;
	std::uint64_t unknown = 0;
	std::uint64_t repeated = 0;
	std::uint64_t text_sent = 0;
	std::uint64_t text_paused = 0;
};

struct TestKey {
	std::uint32_t scancode = 0;
	std::uint32_t vk = 0;
	bool extended = false;
	bool down = false;
};

// The dock's test operations; `exists` is asked first and the others only while it is true.
struct DockRequestServices {
	std::function<bool()> exists;
	std::function<bool(const std::string &preedit, const std::string &committed, std::int64_t cursor,
			   std::int64_t replacement_start, std::int64_t replacement_length)>
	    inject_input_method;
	std::function<bool(const std::string &key, bool shift, bool ctrl)> simulate_key;
	std::function<bool(std::int64_t caret, std::int64_t anchor)> select_text;
	std::function<void()> press_clear;
	std::function<bool(bool paused)> press_pause;
	std::function<void(bool visible)> show;
	// The floating frame as it is on screen, or the docked content at its natural size.
	std::function<std::optional<DockImage>(bool floating)> grab;
	std::function<std::optional<DockGeometryReport>(const DockGeometryRequest &)> geometry;
};

struct RequestServices {
	// The module's running flag: nothing is answered while it is false.
	std::function<bool()> running;
	// A new state object, as the overlay receives it; released by the dispatcher.
	std::function<OBSDataAutoRelease()> build_state;
	std::function<bool(const TestKey &)> post_test_key;
	std::function<RequestCounters()> counters;
	std::function<obs_data_t *()> settings;
	std::function<bool()> paused;
	std::function<OverlayOptions()> current_options;
	std::function<void(const OverlayOptions &)> apply_dock_options;
	std::function<bool(const OverlayOptions &, const std::string &text_source, const std::string &text_color)>
	    apply_options;
	std::function<void(obs_data_t *request, OverlayOptions &)> merge_text_options;
	std::function<bool(obs_data_t *request)> set_hotkey_bindings;
	std::function<OverlayPlacement()> add_overlay;
	DockRequestServices dock;
};

// Installed by the core before the vendor starts; replaces the previous ones.
void set_request_services(RequestServices services);

// Writes the reply keys into `response`, which obs-websocket owns; writes nothing for a kind
// it does not serve or while the module is not running.
void handle_vendor_request(VendorRequest kind, obs_data_t *request, obs_data_t *response);

} // namespace clackery
