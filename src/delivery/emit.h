#pragma once
// The one way every event reaches the overlay page: numbered, sent as an obs-websocket vendor
// event (when asked) and, wrapped in the envelope, through obs-browser's "emit_event".

#include <obs.h>

namespace clackery {

class Vendor;

// UI thread only. `kind` is "key", "mouse", "wheel", "text" or "state". The caller keeps
// `payload`; all but "state" payloads gain the event's "seq". True when at least one road succeeded; false at once,
// consuming no number, while delivery is disabled.
bool emit_overlay_event(const char *kind, obs_data_t *payload, bool vendorEvent);

// The same through a given vendor record.
bool emit_overlay_event(Vendor &record, const char *kind, obs_data_t *payload, bool vendorEvent);

} // namespace clackery
