#pragma once
// The kinds of request that obs-websocket clients can send to the vendor "clackery". The value
// is the index of the request's registration slot.

#include <cstddef>
#include <cstdint>

namespace clackery {

enum class VendorRequest : std::uint32_t {
	GetState = 0,
	TestPushKey = 1,
	TestCounters = 2,
	TestSetRunOnStart = 3,
	TestSetMode = 4,
	TestDockIme = 5,
	TestDockKey = 6,
	TestDockClear = 7,
	TestDockEdit = 8,
	TestSetTextOptions = 9,
	TestSetOverlayOptions = 10,
	TestStreamStarted = 11,
	TestSetHotkeys = 12,
	TestAddOverlay = 13,
	TestShowDock = 14,
	TestGrabDock = 15,
	TestDockPaused = 16,
	TestDockGeometry = 17,
};

constexpr std::size_t kVendorRequestCount = 18;

// The name under which the kind is registered; null for a value outside the enumeration.
const char *vendor_request_name(VendorRequest kind);

} // namespace clackery
