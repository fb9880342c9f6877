#include "delivery/vendor_request.h"

#include "delivery/request_handlers.h"

#include <iterator>

namespace clackery {

const VendorRequestRow kVendorRequests[] = {
    {"get_state", false, get_state},
    {"test_push_key", true, push_test_key},
    {"test_counters", true, report_counters},
    {"test_set_run_on_start", true, report_run_on_start},
    {"test_set_mode", true, set_mode},
    {"test_dock_ime", true, dock_input_method},
    {"test_dock_key", true, dock_key},
    {"test_dock_clear", true, dock_clear},
    {"test_dock_edit", true, dock_edit},
    {"test_set_text_options", true, set_text_options},
    {"test_set_overlay_options", true, set_overlay_options},
    {"test_stream_started", true, accept_stream_started},
    {"test_set_hotkeys", true, set_hotkeys},
    {"test_add_overlay", true, add_overlay},
    {"test_show_dock", true, show_dock},
    {"test_grab_dock", true, grab_dock},
    {"test_dock_paused", true, dock_paused},
    {"test_dock_geometry", true, dock_geometry},
    {"test_capture_event", true, capture_event},
    {"test_dock_status", true, dock_status},
};

const std::size_t kVendorRequestCount = std::size(kVendorRequests);

void serve_vendor_request(RequestServices *services, const VendorRequestRow &row, obs_data_t *request,
			  obs_data_t *response)
{
	if (!request || !response || !services || !row.handler || !services->running())
		return;
	row.handler(*services, request, response);
}

} // namespace clackery
