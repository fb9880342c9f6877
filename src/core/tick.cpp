#include "core/tick.h"

#include "core/module_state.h"

namespace clackery {

void tick()
{
	if (!is_running())
		return;
}

} // namespace clackery
