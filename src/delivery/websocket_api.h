#pragma once
// obs-websocket's vendor interface, reached only through procedure handlers: obs-websocket
// ships no headers here and the module must load without it. The records below mirror the
// ones obs-websocket reads and allocates.

#include <obs.h>

#include <cstdint>
#include <memory>

namespace clackery {

using VendorRequestFunction = void (*)(obs_data_t *request, obs_data_t *response, void *priv);

// obs-websocket keeps a pointer to this record for as long as the request is registered.
struct VendorRequestCallback {
	VendorRequestFunction callback = nullptr;
	void *priv = nullptr;
};

// What "call_request" hands back; the caller owns it and its two strings.
struct WebSocketResponse {
	unsigned int status_code;
	char *comment;
	char *response_data;
};

struct WebSocketResponseDeleter {
	void operator()(WebSocketResponse *response) const;
};
using WebSocketResponsePtr = std::unique_ptr<WebSocketResponse, WebSocketResponseDeleter>;

constexpr unsigned int kWebSocketStatusSuccess = 100;

// obs-websocket's API handler, published on the host's global handler; null without it.
proc_handler_t *websocket_api_handler(proc_handler_t *host);

// The vendor handle, or null when refused.
void *websocket_register_vendor(proc_handler_t *ph, const char *name);

bool websocket_register_request(proc_handler_t *ph, void *vendor, const char *type, VendorRequestCallback *callback);
void websocket_unregister_request(proc_handler_t *ph, void *vendor, const char *type);

// True when obs-websocket accepted the event for its subscribed clients.
bool websocket_emit_vendor_event(proc_handler_t *ph, void *vendor, const char *type, obs_data_t *data);

// Runs an obs-websocket request given as JSON text; null when no response came back.
WebSocketResponsePtr websocket_call_request(proc_handler_t *ph, const char *request_type, const char *request_json);

} // namespace clackery
