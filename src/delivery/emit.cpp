#include "delivery/emit.h"

#include "common/clock.h"
#include "delivery/vendor.h"
#include "delivery/websocket_api.h"

#include <obs.hpp>

#include <cstring>

namespace clackery {
namespace {

constexpr const char *kEventName = "fernquarry.clackery";
constexpr long long kEnvelopeVersion = 1;

// Events of the stream (keys, the mouse beside them, text) carry their number in the payload too,
// so that a client of the vendor events can put them back in order; the state does not.
bool carries_own_seq(const char *kind)
{
	for (const char *own : {"key", "mouse", "wheel", "text"})
		if (std::strcmp(kind, own) == 0)
			return true;
	return false;
}

// Wraps the payload for the page, which tells our events apart by "type" and "from".
OBSDataAutoRelease make_envelope(const Vendor &record, const char *kind, std::uint64_t seq, obs_data_t *payload)
{
	OBSDataAutoRelease envelope = obs_data_create();
	obs_data_set_string(envelope, "type", kEventName);
	obs_data_set_int(envelope, "v", kEnvelopeVersion);
	obs_data_set_string(envelope, "kind", kind);
	obs_data_set_string(envelope, "from", record.instanceId.c_str());
	obs_data_set_string(envelope, "role", "plugin");
	obs_data_set_int(envelope, "seq", static_cast<long long>(seq));
	obs_data_set_double(envelope, "at", wall_clock_ms());
	obs_data_set_obj(envelope, "data", payload);
	return envelope;
}

// obs-browser's "emit_event", asked through obs-websocket's "CallVendorRequest".
bool send_to_browser(const Vendor &record, obs_data_t *envelope)
{
	OBSDataAutoRelease eventData = obs_data_create();
	obs_data_set_string(eventData, "json", obs_data_get_json(envelope));

	OBSDataAutoRelease browserRequest = obs_data_create();
	obs_data_set_string(browserRequest, "event_name", kEventName);
	obs_data_set_obj(browserRequest, "event_data", eventData);

	OBSDataAutoRelease websocketRequest = obs_data_create();
	obs_data_set_string(websocketRequest, "vendorName", "obs-browser");
	obs_data_set_string(websocketRequest, "requestType", "emit_event");
	obs_data_set_obj(websocketRequest, "requestData", browserRequest);

	const WebSocketResponsePtr response =
	    websocket_call_request(record.ph, "CallVendorRequest", obs_data_get_json(websocketRequest));
	return response && response->status_code == kWebSocketStatusSuccess;
}

} // namespace

bool emit_overlay_event(const char *kind, obs_data_t *payload, bool vendorEvent)
{
	return emit_overlay_event(vendor_record(), kind, payload, vendorEvent);
}

bool emit_overlay_event(Vendor &record, const char *kind, obs_data_t *payload, bool vendorEvent)
{
	if (!record.deliveryEnabled.load() || !kind || !payload)
		return false;
	const std::uint64_t seq = ++record.seq;
	if (carries_own_seq(kind))
		obs_data_set_int(payload, "seq", static_cast<long long>(seq));

	bool sent = false;
	if (vendorEvent)
		sent = websocket_emit_vendor_event(record.ph, record.vendor, kind, payload);

	const OBSDataAutoRelease envelope = make_envelope(record, kind, seq, payload);
	// Both roads are always tried: a vendor event does not reach the page.
	const bool browserSent = send_to_browser(record, envelope);
	return sent || browserSent;
}

} // namespace clackery
