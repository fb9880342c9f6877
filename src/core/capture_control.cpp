#include "core/capture_control.h"

#include "capture/hook_thread.h"
#include "capture/ring.h"
#include "core/keys_state.h"
#include "core/privacy.h"
#include "core/runtime_state.h"

namespace clackery {

void close_capture_and_forget_keys()
{
	bump_generation(key_ring(), false);
	held_keys().clear();
	forget_privacy_keys();
}

void reopen_capture()
{
	bump_generation(key_ring(), !runtime_state().paused);
}

bool capture_running()
{
	return hook_running(key_ring());
}

} // namespace clackery
