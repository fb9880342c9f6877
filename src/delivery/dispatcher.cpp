#include "delivery/dispatcher.h"

#include "delivery/request_handlers.h"

#include <utility>

namespace clackery {
namespace {

RequestServices services;

} // namespace

void set_request_services(RequestServices newServices)
{
	services = std::move(newServices);
}

void handle_vendor_request(VendorRequest kind, obs_data_t *request, obs_data_t *response)
{
	if (!request || !response || !services.running || !services.running())
		return;
	const RequestServices &s = services;
	switch (kind) {
	case VendorRequest::GetState:
		return get_state(s, response);
	case VendorRequest::TestPushKey:
		return push_test_key(s, request, response);
	case VendorRequest::TestCounters:
		return report_counters(s, response);
	case VendorRequest::TestSetRunOnStart:
		return report_run_on_start(s, request, response);
	case VendorRequest::TestSetMode:
		return set_mode(s, request, response);
	case VendorRequest::TestDockIme:
		return dock_input_method(s, request, response);
	case VendorRequest::TestDockKey:
		return dock_key(s, request, response);
	case VendorRequest::TestDockClear:
		return dock_clear(s, response);
	case VendorRequest::TestDockEdit:
		return dock_edit(s, request, response);
	case VendorRequest::TestSetTextOptions:
		return set_text_options(s, request, response);
	case VendorRequest::TestSetOverlayOptions:
		return set_overlay_options(s, request, response);
	case VendorRequest::TestStreamStarted:
		return obs_data_set_bool(response, "accepted", true);
	case VendorRequest::TestSetHotkeys:
		return set_hotkeys(s, request, response);
	case VendorRequest::TestAddOverlay:
		return add_overlay(s, response);
	case VendorRequest::TestShowDock:
		return show_dock(s, request, response);
	case VendorRequest::TestGrabDock:
		return grab_dock(s, request, response);
	case VendorRequest::TestDockPaused:
		return dock_paused(s, request, response);
	case VendorRequest::TestDockGeometry:
		return dock_geometry(s, request, response);
	}
}

} // namespace clackery
