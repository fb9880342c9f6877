#pragma once
// The few obs-websocket vendor calls the test companion needs, through procedure handlers
// (obs-websocket ships no development headers here).

#include <obs.h>

#include <string>

namespace companion {

using RequestFunction = void (*)(obs_data_t *request, obs_data_t *response, void *priv);

// obs-websocket keeps a pointer to this record for as long as the request is registered.
struct RequestCallback {
	RequestFunction callback;
	void *priv;
};

// Registers a vendor; null when obs-websocket is absent or refuses.
void *register_vendor(const char *name);
bool register_request(void *vendor, const char *type, RequestCallback *callback);

// The outcome of an obs-websocket request run from inside OBS.
struct RequestOutcome {
	bool answered = false;
	unsigned int status = 0;
	std::string responseJson;
};

// Runs an obs-websocket request (type and JSON data) as another plug-in would, on the calling
// thread.
RequestOutcome call_request(const char *type, const char *json);

} // namespace companion
