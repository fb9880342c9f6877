#pragma once
// Stands in for obs-browser, which Debian does not package: its vendor request "emit_event"
// records what the module sends to the overlay page, and the test vendor reads the records.

namespace companion {

// Registers the vendor "obs-browser" with "emit_event", unless CLACKERY_TEST_NO_BROWSER is "1"
// (a host without obs-browser). Returns whether it is registered.
bool register_browser_standin();

// "browser_events" ({"events": [request data...], "count"}) and "clear_browser_events" on the
// test vendor.
bool register_browser_records(void *testVendor);

} // namespace companion
