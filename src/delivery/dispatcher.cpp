#include "delivery/dispatcher.h"

namespace clackery {

void serve_vendor_request(RequestServices *services, const VendorRequestRow &row, obs_data_t *request,
			  obs_data_t *response)
{
	if (!request || !response || !services || !row.handler || !services->running())
		return;
	row.handler(*services, request, response);
}

} // namespace clackery
