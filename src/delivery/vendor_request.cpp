#include "delivery/vendor_request.h"

namespace clackery {
namespace {

constexpr const char *kNames[kVendorRequestCount] = {
    "get_state",
    "test_push_key",
    "test_counters",
    "test_set_run_on_start",
    "test_set_mode",
    "test_dock_ime",
    "test_dock_key",
    "test_dock_clear",
    "test_dock_edit",
    "test_set_text_options",
    "test_set_overlay_options",
    "test_stream_started",
    "test_set_hotkeys",
    "test_add_overlay",
    "test_show_dock",
    "test_grab_dock",
    "test_dock_paused",
    "test_dock_geometry",
};

} // namespace

const char *vendor_request_name(VendorRequest kind)
{
	const auto index = static_cast<std::size_t>(kind);
	return index < kVendorRequestCount ? kNames[index] : nullptr;
}

} // namespace clackery
