#include "core/totals.h"

namespace clackery {

DeliveryCounters &delivery_counters()
{
	static DeliveryCounters counters;
	return counters;
}

} // namespace clackery
