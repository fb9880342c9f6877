#include "core/module_state.h"

namespace clackery {
namespace {
obs_module_t *module_pointer = nullptr;
bool running = false;
} // namespace

bool is_running()
{
	return running;
}

void set_running(bool value)
{
	running = value;
}

void set_module_pointer(obs_module_t *module)
{
	module_pointer = module;
}

} // namespace clackery

// The host's module lookups (config path, data files) identify us by this pointer.
obs_module_t *obs_current_module(void)
{
	return clackery::module_pointer;
}
