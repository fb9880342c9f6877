#pragma once

namespace companion {

// Registers a source type "browser_source" that draws nothing and keeps obs-browser's
// settings, so that host tests can create and find overlay sources without obs-browser.
// Skipped when CLACKERY_TEST_NO_BROWSER_SOURCE is "1": the host as it is without obs-browser.
void register_browser_source();

} // namespace companion
