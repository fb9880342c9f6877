#include "core/runtime_state.h"

namespace clackery {

RuntimeState &runtime_state()
{
	static RuntimeState state;
	return state;
}

} // namespace clackery
