#pragma once
// The requests that obs-websocket clients can send to the vendor "clackery", as one table: a
// new request is one row in vendor_request.cpp and one handler. README.md lists them for tool
// authors; a unit test holds the two lists together.

#include <obs-data.h>

#include <cstddef>

namespace clackery {

class RequestServices;

// Validates the request's keys and writes only the reply keys the request defines.
using RequestHandler = void (*)(RequestServices &services, obs_data_t *request, obs_data_t *response);

struct VendorRequestRow {
	const char *name;
	// Registered only when the test hooks are enabled (CLACKERY_TEST_HOOKS=1).
	bool test_only;
	RequestHandler handler;
};

// The rows in registration order; the index of a row is its registration slot.
extern const VendorRequestRow kVendorRequests[];
extern const std::size_t kVendorRequestCount;

// Writes the reply keys of `row`'s request into `response`, which obs-websocket owns; writes
// nothing without services or a handler, or while the module is not running.
void serve_vendor_request(RequestServices *services, const VendorRequestRow &row, obs_data_t *request,
			  obs_data_t *response);

} // namespace clackery
