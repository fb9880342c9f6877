#include "delivery/websocket_api.h"

#include <callback/calldata.h>
#include <callback/proc.h>

namespace clackery {
namespace {

// One procedure call's arguments: starts zeroed, releases its buffer at the end.
class CallData {
public:
	CallData() = default;
	~CallData() { calldata_free(&data_); }
	CallData(const CallData &) = delete;
	CallData &operator=(const CallData &) = delete;

	calldata_t *get() { return &data_; }

	// Strings travel with their terminating NUL; a null string with length 0.
	void set_string(const char *name, const char *value) { calldata_set_string(&data_, name, value); }
	void set_ptr(const char *name, void *value) { calldata_set_ptr(&data_, name, value); }
	void set_bool(const char *name, bool value) { calldata_set_bool(&data_, name, value); }

	bool call(proc_handler_t *ph, const char *procedure) { return ph && proc_handler_call(ph, procedure, &data_); }

	void *ptr(const char *name) { return calldata_ptr(&data_, name); }
	bool boolean(const char *name) { return calldata_bool(&data_, name); }

private:
	calldata_t data_ = {};
};

} // namespace

void WebSocketResponseDeleter::operator()(WebSocketResponse *response) const
{
	if (!response)
		return;
	bfree(response->comment);
	bfree(response->response_data);
	bfree(response);
}

proc_handler_t *websocket_api_handler(proc_handler_t *host)
{
	CallData cd;
	cd.set_ptr("ph", nullptr);
	if (!cd.call(host, "obs_websocket_api_get_ph"))
		return nullptr;
	return static_cast<proc_handler_t *>(cd.ptr("ph"));
}

void *websocket_register_vendor(proc_handler_t *ph, const char *name)
{
	CallData cd;
	cd.set_string("name", name);
	cd.set_ptr("vendor", nullptr);
	if (!cd.call(ph, "vendor_register"))
		return nullptr;
	return cd.ptr("vendor");
}

bool websocket_register_request(proc_handler_t *ph, void *vendor, const char *type, VendorRequestCallback *callback)
{
	CallData cd;
	cd.set_ptr("vendor", vendor);
	cd.set_string("type", type);
	cd.set_ptr("callback", callback);
	cd.set_bool("success", false);
	return cd.call(ph, "vendor_request_register") && cd.boolean("success");
}

void websocket_unregister_request(proc_handler_t *ph, void *vendor, const char *type)
{
	CallData cd;
	cd.set_ptr("vendor", vendor);
	cd.set_string("type", type);
	cd.call(ph, "vendor_request_unregister");
}

bool websocket_emit_vendor_event(proc_handler_t *ph, void *vendor, const char *type, obs_data_t *data)
{
	CallData cd;
	cd.set_ptr("vendor", vendor);
	cd.set_string("type", type);
	cd.set_ptr("data", data);
	cd.set_bool("success", false);
	return cd.call(ph, "vendor_event_emit") && cd.boolean("success");
}

WebSocketResponsePtr websocket_call_request(proc_handler_t *ph, const char *request_type, const char *request_json)
{
	CallData cd;
	cd.set_string("request_type", request_type);
	cd.set_string("request_data", request_json);
	cd.set_ptr("response", nullptr);
	// The call's own result says nothing more than the response does: a failed call leaves none.
	cd.call(ph, "call_request");
	return WebSocketResponsePtr(static_cast<WebSocketResponse *>(cd.ptr("response")));
}

} // namespace clackery
