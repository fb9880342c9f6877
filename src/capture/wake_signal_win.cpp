#include "capture/wake_signal.h"

#include "common/win32.h"

namespace clackery {

bool open_wake_signal(WakeSignal &signal)
{
	// Manual reset: the UI thread resets it itself before it re-arms the ring's wake, whatever
	// way its loop waits on the handle.
	signal.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
	return signal.event != nullptr;
}

void close_wake_signal(WakeSignal &signal)
{
	if (signal.event)
		CloseHandle(signal.event);
	signal.event = nullptr;
}

void raise_wake_signal(void *context)
{
	SetEvent(static_cast<WakeSignal *>(context)->event);
}

void clear_wake_signal(WakeSignal &signal)
{
	ResetEvent(signal.event);
}

} // namespace clackery
