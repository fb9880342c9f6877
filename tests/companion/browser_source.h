#pragma once

namespace companion {

// Registers a source type "browser_source" that draws nothing and keeps obs-browser's
// settings, so that host tests can create and find overlay sources without obs-browser.
// Skipped when CLACKERY_TEST_NO_BROWSER_SOURCE is "1": the host as it is without obs-browser.
// Each source offers obs-browser's "javascript_event" and records what it received, unless
// CLACKERY_TEST_NO_JS_EVENT is "1" (an obs-browser from before that procedure).
void register_browser_source();

// "source_events" ({"events": [{source, event_name, event_data}], "count"}) and
// "clear_source_events" on the test vendor.
bool register_source_records(void *testVendor);

} // namespace companion
