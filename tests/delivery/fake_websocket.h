#pragma once
// A stand-in for obs-websocket's vendor API, built with libobs' own procedure handlers, that
// records what the module asks of it and answers as told.

#include "delivery/websocket_api.h"

#include <obs.h>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class FakeWebSocket {
public:
	FakeWebSocket();
	~FakeWebSocket();
	FakeWebSocket(const FakeWebSocket &) = delete;
	FakeWebSocket &operator=(const FakeWebSocket &) = delete;

	// Where the module looks for "obs_websocket_api_get_ph".
	proc_handler_t *host() const { return host_; }
	proc_handler_t *api() const { return api_; }
	void *vendor_handle() { return &vendorToken_; }

	// Answers, as the test sets them.
	bool available = true;
	bool acceptVendor = true;
	std::set<std::string> refusedRequests;
	bool emitSucceeds = true;
	// No value: "call_request" hands back no response at all.
	std::optional<unsigned int> browserStatus = 100;

	// What the module did.
	std::vector<std::string> vendorNames;
	std::vector<std::string> registered;
	std::vector<std::string> unregistered;
	struct VendorEvent {
		std::string type;
		std::string json;
	};
	std::vector<VendorEvent> vendorEvents;
	struct CallRequest {
		std::string type;
		std::string json;
	};
	std::vector<CallRequest> callRequests;

	bool is_registered(const std::string &type);

	// Calls a registered request as obs-websocket does for a client, on the calling thread;
	// returns the response as JSON text, or nothing when no such request is registered.
	std::optional<std::string> call(const std::string &type, const char *requestJson = nullptr);
	// Requests that have entered call() and not yet returned.
	std::atomic<int> inFlight{0};

private:
	static void get_ph(void *self, calldata_t *cd);
	static void vendor_register(void *self, calldata_t *cd);
	static void request_register(void *self, calldata_t *cd);
	static void request_unregister(void *self, calldata_t *cd);
	static void event_emit(void *self, calldata_t *cd);
	static void call_request(void *self, calldata_t *cd);

	proc_handler_t *host_;
	proc_handler_t *api_;
	char vendorToken_ = 0;
	std::mutex mutex_;
	std::map<std::string, clackery::VendorRequestCallback *> callbacks_;
};
