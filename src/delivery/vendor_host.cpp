// The vendor's start in the real host: obs-websocket found on libobs' own procedure handler,
// and the overlay's browser sources recognised as the placement recognises them. Kept apart
// from vendor.cpp so that a test with a stand-in host needs no module data.

#include "delivery/vendor.h"
#include "overlay/overlay_source.h"

#include <utility>

namespace clackery {

bool Vendor::start(bool testHooks, Handler newHandler)
{
	const bool started = start(obs_get_proc_handler(), testHooks, std::move(newHandler));
	if (started)
		overlays.start(overlay_page_path(), &is_overlay_source);
	return started;
}

} // namespace clackery
