#pragma once
// The hook thread's control block. It lives inside KeyRing; only hook_thread.cpp and the
// platform files touch it.

#include "capture/thread_message.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#ifndef _WIN32
#include <deque>
#include <memory>
#endif

namespace clackery {

struct KeyRing;

#ifdef _WIN32
// The system keeps the thread's message queue; only the hook handle is ours.
struct OsHookState {
	void *hook = nullptr;         // HHOOK, hook thread only
	void *mouse_window = nullptr; // HWND of the mouse's raw input, hook thread only; null while off
};
#else
class KeyBackend;

// Our own thread queue: a locked list woken through an eventfd, so that a key source with a
// file descriptor can be polled in the same wait.
struct OsHookState {
	OsHookState();
	~OsHookState();
	std::mutex mutex;
	std::deque<ThreadMessage> messages;  // guarded by mutex
	int wake_fd = -1;                    // guarded by mutex; readable while messages wait
	std::uint32_t owner = 0;             // guarded by mutex; id of the thread that reads, 0 when closed
	std::unique_ptr<KeyBackend> backend; // hook thread only
};
#endif

struct HookControl {
	std::thread thread;
	std::mutex mutex; // start handshake only
	std::condition_variable ready_changed;
	bool ready = false;          // guarded by mutex
	bool install_os_hook = true; // written before the thread starts
	bool started = false;        // UI thread only: start ran and stop has not yet
	std::atomic<bool> hook_running{false};
	std::atomic<bool> stop_requested{false};
	std::atomic<std::uint32_t> thread_id{0};
	std::atomic<std::uint32_t> last_error{0};
	// Whether mouse buttons and the wheel are captured too; written by the UI thread, which then
	// asks the hook thread to follow it (WM_CLACKERY_MOUSE).
	std::atomic<bool> mouse_wanted{false};
	// Whether the hook thread has the mouse selected or registered now; written by that thread.
	std::atomic<bool> mouse_active{false};
	OsHookState os;
	// Set by start_hook_thread: how the ring's destructor ends a thread that still runs, without
	// the ring knowing the hook thread.
	void (*stop)(KeyRing &ring) = nullptr;
};

} // namespace clackery
