#pragma once
// Serves the vendor requests on the UI thread (always reached through the request gate). The
// core's services arrive as callbacks, so this folder never includes core or dock headers.

#include "delivery/vendor_request.h"

#include <obs.hpp>

#include <functional>

namespace clackery {

struct RequestServices {
	// The module's running flag: nothing is answered while it is false.
	std::function<bool()> running;
	// A new state object, as the overlay receives it; released by the dispatcher.
	std::function<OBSDataAutoRelease()> build_state;
};

// Installed by the core before the vendor starts; replaces the previous ones.
void set_request_services(RequestServices services);

// Writes the reply keys into `response`, which obs-websocket owns; writes nothing for a kind
// it does not serve or while the module is not running.
void handle_vendor_request(VendorRequest kind, obs_data_t *request, obs_data_t *response);

} // namespace clackery
