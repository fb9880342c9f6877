#include "fake_websocket.h"

#include <obs.hpp>

#include <callback/calldata.h>
#include <callback/proc.h>

namespace {

FakeWebSocket &self_of(void *data)
{
	return *static_cast<FakeWebSocket *>(data);
}

std::string string_of(calldata_t *cd, const char *name)
{
	const char *text = calldata_string(cd, name);
	return text ? text : "";
}

void succeed(calldata_t *cd, bool success)
{
	calldata_set_bool(cd, "success", success);
}

} // namespace

FakeWebSocket::FakeWebSocket() : host_(proc_handler_create()), api_(proc_handler_create())
{
	proc_handler_add(host_, "bool obs_websocket_api_get_ph(out ptr ph)", get_ph, this);
	proc_handler_add(api_, "bool vendor_register(in string name, out ptr vendor)", vendor_register, this);
	proc_handler_add(api_, "bool vendor_request_register(in ptr vendor, in string type, in ptr callback)",
			 request_register, this);
	proc_handler_add(api_, "bool vendor_request_unregister(in ptr vendor, in string type)", request_unregister,
			 this);
	proc_handler_add(api_, "bool vendor_event_emit(in ptr vendor, in string type, in ptr data)", event_emit, this);
	proc_handler_add(api_, "bool call_request(in string request_type, in string request_data, out ptr response)",
			 call_request, this);
}

FakeWebSocket::~FakeWebSocket()
{
	proc_handler_destroy(api_);
	proc_handler_destroy(host_);
}

void FakeWebSocket::get_ph(void *data, calldata_t *cd)
{
	if (self_of(data).available)
		calldata_set_ptr(cd, "ph", self_of(data).api_);
}

void FakeWebSocket::vendor_register(void *data, calldata_t *cd)
{
	FakeWebSocket &self = self_of(data);
	self.vendorNames.push_back(string_of(cd, "name"));
	if (self.acceptVendor)
		calldata_set_ptr(cd, "vendor", self.vendor_handle());
	succeed(cd, self.acceptVendor);
}

void FakeWebSocket::request_register(void *data, calldata_t *cd)
{
	FakeWebSocket &self = self_of(data);
	const std::string type = string_of(cd, "type");
	if (calldata_ptr(cd, "vendor") != self.vendor_handle() || self.refusedRequests.count(type)) {
		succeed(cd, false);
		return;
	}
	std::lock_guard<std::mutex> lock(self.mutex_);
	self.registered.push_back(type);
	self.callbacks_[type] = static_cast<clackery::VendorRequestCallback *>(calldata_ptr(cd, "callback"));
	succeed(cd, true);
}

void FakeWebSocket::request_unregister(void *data, calldata_t *cd)
{
	FakeWebSocket &self = self_of(data);
	const std::string type = string_of(cd, "type");
	std::lock_guard<std::mutex> lock(self.mutex_);
	self.unregistered.push_back(type);
	succeed(cd, self.callbacks_.erase(type) == 1);
}

void FakeWebSocket::event_emit(void *data, calldata_t *cd)
{
	FakeWebSocket &self = self_of(data);
	auto *payload = static_cast<obs_data_t *>(calldata_ptr(cd, "data"));
	self.vendorEvents.push_back({string_of(cd, "type"), payload ? obs_data_get_json(payload) : ""});
	succeed(cd, self.emitSucceeds);
}

void FakeWebSocket::call_request(void *data, calldata_t *cd)
{
	FakeWebSocket &self = self_of(data);
	self.callRequests.push_back({string_of(cd, "request_type"), string_of(cd, "request_data")});
	if (!self.browserStatus) {
		succeed(cd, false);
		return;
	}
	auto *response = static_cast<clackery::WebSocketResponse *>(bzalloc(sizeof(clackery::WebSocketResponse)));
	response->status_code = *self.browserStatus;
	response->comment = bstrdup("a comment the caller must free");
	response->response_data = bstrdup("{\"vendorName\":\"obs-browser\"}");
	calldata_set_ptr(cd, "response", response);
	succeed(cd, true);
}

bool FakeWebSocket::is_registered(const std::string &type)
{
	std::lock_guard<std::mutex> lock(mutex_);
	return callbacks_.count(type) == 1;
}

std::optional<std::string> FakeWebSocket::call(const std::string &type, const char *requestJson)
{
	clackery::VendorRequestCallback *callback = nullptr;
	{
		std::lock_guard<std::mutex> lock(mutex_);
		auto found = callbacks_.find(type);
		if (found == callbacks_.end())
			return std::nullopt;
		callback = found->second;
	}
	++inFlight;
	OBSDataAutoRelease request = requestJson ? obs_data_create_from_json(requestJson) : obs_data_create();
	OBSDataAutoRelease response = obs_data_create();
	callback->callback(request, response, callback->priv);
	--inFlight;
	return std::string(obs_data_get_json(response));
}
