#pragma once

#include "delivery/dispatcher.h"

namespace clackery {

// What the vendor requests may do in the core, the capture and the dock.
RequestServices request_services();

} // namespace clackery
