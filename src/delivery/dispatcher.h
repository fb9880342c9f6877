#pragma once
// What the vendor requests, served on the UI thread (always reached through the request gate),
// may ask of the core. The core's services arrive as this interface, so this folder never
// includes core or dock headers; the table and serve_vendor_request are in vendor_request.h.

#include "common/records.h"
#include "common/request_records.h"

#include <obs.hpp>

#include <cstdint>
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

// A stand-in for a system event of key capture ("test_capture_event"), by its request name.
enum class CaptureTestKind { hook_lost, away, back, elevated, not_elevated };

struct TestKey {
	std::uint32_t scancode = 0;
	std::uint32_t vk = 0;
	bool extended = false;
	bool down = false;
};

// What the vendor requests may do in the core, the capture and the dock. The core implements
// it once; tests give fakes. The dock's operations are asked only while dock_exists() is true.
class RequestServices {
public:
	virtual ~RequestServices() = default;

	// The module's running flag: nothing is answered while it is false.
	virtual bool running() = 0;
	// A new state object, as the overlay receives it; released by the caller.
	virtual OBSDataAutoRelease build_state() = 0;
	virtual bool post_test_key(const TestKey &key) = 0;
	virtual RequestCounters counters() = 0;
	virtual obs_data_t *settings() = 0;
	virtual bool paused() = 0;
	virtual OverlayOptions current_options() = 0;
	virtual void apply_dock_options(const OverlayOptions &options) = 0;
	virtual bool apply_options(const OverlayOptions &options, const std::string &text_source,
				   const std::string &text_color) = 0;
	virtual void merge_text_options(obs_data_t *request, OverlayOptions &options) = 0;
	// Saves and publishes on success.
	virtual bool set_hotkey_bindings(obs_data_t *request) = 0;
	virtual OverlayPlacement add_overlay() = 0;

	virtual bool dock_exists() = 0;
	virtual bool dock_inject_input_method(const std::string &preedit, const std::string &committed,
					      std::int64_t cursor, std::int64_t replacement_start,
					      std::int64_t replacement_length) = 0;
	virtual bool dock_simulate_key(const std::string &key, bool shift, bool ctrl) = 0;
	virtual bool dock_select_text(std::int64_t caret, std::int64_t anchor) = 0;
	virtual void dock_press_clear() = 0;
	virtual bool dock_press_pause(bool paused) = 0;
	virtual void dock_show(bool visible) = 0;
	// The floating frame as it is on screen, or the docked content at its natural size.
	virtual std::optional<DockImage> dock_grab(bool floating) = 0;
	virtual std::optional<DockGeometryReport> dock_geometry(const DockGeometryRequest &request) = 0;
	// What the dock's status area shows now.
	virtual DockStatusTexts dock_status_texts() = 0;
	// Posts the event to the capture thread; `error` is the failure a lost hook's reinstall
	// meets (0: it succeeds). True when posted.
	virtual bool capture_event(CaptureTestKind kind, std::uint32_t error) = 0;
};

} // namespace clackery
