#pragma once
// The signal by which the hook thread wakes the UI thread: an eventfd on POSIX, a manual-reset
// event on Windows, either of which the UI thread's event loop can watch. Raising it is one
// system call, with no lock and no allocation, so the key hook may do it.

namespace clackery {

struct WakeSignal {
#ifdef _WIN32
	void *event = nullptr; // HANDLE
#else
	int fd = -1;
#endif
};

bool open_wake_signal(WakeSignal &signal);
void close_wake_signal(WakeSignal &signal);

// A RingWakeFn whose context is the WakeSignal. Any thread.
void raise_wake_signal(void *context);

// UI thread, when its loop reports the signal: resets it, before the ring's wake is re-armed.
void clear_wake_signal(WakeSignal &signal);

} // namespace clackery
