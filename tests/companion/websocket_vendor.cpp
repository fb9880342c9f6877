#include "websocket_vendor.h"

#include <callback/calldata.h>
#include <callback/proc.h>

namespace companion {
namespace {

proc_handler_t *websocket_api()
{
	calldata_t cd = {};
	proc_handler_t *ph = nullptr;
	calldata_set_ptr(&cd, "ph", nullptr);
	if (proc_handler_call(obs_get_proc_handler(), "obs_websocket_api_get_ph", &cd))
		ph = static_cast<proc_handler_t *>(calldata_ptr(&cd, "ph"));
	calldata_free(&cd);
	return ph;
}

// What obs-websocket allocates for "call_request"; the caller frees it and its strings.
struct RequestResponse {
	unsigned int status_code;
	char *comment;
	char *response_data;
};

} // namespace

void *register_vendor(const char *name)
{
	proc_handler_t *ph = websocket_api();
	if (!ph)
		return nullptr;
	calldata_t cd = {};
	calldata_set_string(&cd, "name", name);
	calldata_set_ptr(&cd, "vendor", nullptr);
	void *vendor = nullptr;
	if (proc_handler_call(ph, "vendor_register", &cd))
		vendor = calldata_ptr(&cd, "vendor");
	calldata_free(&cd);
	return vendor;
}

bool register_request(void *vendor, const char *type, RequestCallback *callback)
{
	proc_handler_t *ph = websocket_api();
	if (!ph || !vendor)
		return false;
	calldata_t cd = {};
	calldata_set_ptr(&cd, "vendor", vendor);
	calldata_set_string(&cd, "type", type);
	calldata_set_ptr(&cd, "callback", callback);
	calldata_set_bool(&cd, "success", false);
	const bool ok = proc_handler_call(ph, "vendor_request_register", &cd) && calldata_bool(&cd, "success");
	calldata_free(&cd);
	return ok;
}

RequestOutcome call_request(const char *type, const char *json)
{
	RequestOutcome outcome;
	proc_handler_t *ph = websocket_api();
	if (!ph)
		return outcome;
	calldata_t cd = {};
	calldata_set_string(&cd, "request_type", type);
	calldata_set_string(&cd, "request_data", json);
	calldata_set_ptr(&cd, "response", nullptr);
	proc_handler_call(ph, "call_request", &cd);
	auto *response = static_cast<RequestResponse *>(calldata_ptr(&cd, "response"));
	calldata_free(&cd);
	if (!response)
		return outcome;
	outcome.answered = true;
	outcome.status = response->status_code;
	outcome.responseJson = response->response_data ? response->response_data : "";
	bfree(response->comment);
	bfree(response->response_data);
	bfree(response);
	return outcome;
}

} // namespace companion
