// Tests that link the core without its entry file have no module: the host's data-file and
// configuration lookups find nothing, as for a module the host does not know.
#include <obs-module.h>

obs_module_t *obs_current_module(void)
{
	return nullptr;
}
