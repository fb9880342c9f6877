#pragma once
// The module's registration with obs-websocket as the vendor "clackery": its requests, the
// identity every overlay event carries, and whether delivery is possible at all. One record
// lives for the whole module; start and stop run on the UI thread.

#include "delivery/ui_request_gate.h"
#include "delivery/vendor_request.h"
#include "delivery/websocket_api.h"

#include <obs.h>

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace clackery {

class Vendor {
public:
	using Handler = std::function<void(const VendorRequestRow &, obs_data_t *request, obs_data_t *response)>;

	struct RequestSlot {
		Vendor *owner = nullptr;
		const VendorRequestRow *row = nullptr;
		VendorRequestCallback callback;
		// Set once obs-websocket accepted the registration under this name.
		const char *registeredName = nullptr;
	};

	Vendor() = default;
	Vendor(const Vendor &) = delete;
	Vendor &operator=(const Vendor &) = delete;

	// From the module's post-load step, once obs-websocket has loaded. True when delivery is
	// enabled. `testHooks` adds the test-only rows of the request table to the others.
	bool start(bool testHooks, Handler handler);
	// The same with the handler on which obs-websocket publishes its API given explicitly.
	bool start(proc_handler_t *host, bool testHooks, Handler handler);

	// First step of shutdown: no request work starts after it returns and none is left running,
	// except work that this call interrupted on the UI thread, which goes on once it returns.
	void stop();

	proc_handler_t *ph = nullptr;
	void *vendor = nullptr;
	std::atomic<bool> deliveryEnabled{false};
	Handler handler;
	// One per row of the request table; sized once at start, so the callbacks never move.
	std::vector<RequestSlot> slots;
	// Queued calls to the UI thread are addressed to it, so they die with it at shutdown.
	std::unique_ptr<QObject> invokeTarget;
	UiRequestGate gate;
	std::string instanceId;
	std::uint64_t seq = 0;

private:
	bool register_request(RequestSlot &slot, const VendorRequestRow &row);
	static void receive(obs_data_t *request, obs_data_t *response, void *priv);
};

// The module's one vendor record.
Vendor &vendor_record();

} // namespace clackery
