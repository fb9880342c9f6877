#include "delivery/dispatcher.h"

#include <utility>

namespace clackery {
namespace {

RequestServices services;

void get_state(obs_data_t *response)
{
	if (!services.build_state)
		return;
	const OBSDataAutoRelease state = services.build_state();
	if (state)
		obs_data_apply(response, state);
}

} // namespace

void set_request_services(RequestServices newServices)
{
	services = std::move(newServices);
}

void handle_vendor_request(VendorRequest kind, obs_data_t *, obs_data_t *response)
{
	if (!response || !services.running || !services.running())
		return;
	switch (kind) {
	case VendorRequest::GetState:
		get_state(response);
		break;
	default:
		break;
	}
}

} // namespace clackery
