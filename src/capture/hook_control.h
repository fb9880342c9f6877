#pragma once
// The hook thread's control block. It lives inside KeyRing; only hook_thread.cpp and the
// platform files touch it.

#include "capture/thread_message.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
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
// What the hook procedure saw, kept for the witness (hook thread only, plain stores).
struct HookSighting {
	std::uint32_t vk = 0;
	std::uint32_t scancode = 0;
	std::uint32_t flags = 0;
};
constexpr std::size_t HOOK_SIGHTINGS = 1024; // a power of two

// The system keeps the thread's message queue; only the hook handle is ours.
struct OsHookState {
	void *hook = nullptr;         // HHOOK, hook thread only
	void *mouse_window = nullptr; // HWND of the mouse's raw input, hook thread only; null while off
	// The last sightings by the hook, indexed by HookControl::keys_seen (hook thread only).
	std::array<HookSighting, HOOK_SIGHTINGS> sightings{};
	// The thread's windows (HWND), set while it runs; tests post system messages to them.
	std::atomic<void *> session_window{nullptr};
	std::atomic<void *> witness_window{nullptr};
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

// Why capture is away: bits of CaptureHealthState::away.
constexpr std::uint32_t AWAY_LOCKED = 1;       // the session is locked
constexpr std::uint32_t AWAY_DISCONNECTED = 2; // another user has the console, or a remote session left
constexpr std::uint32_t AWAY_SUSPENDED = 4;    // the machine sleeps

// What capture knows of its own health, for the state and the dock. Written on the hook thread,
// read anywhere.
struct CaptureHealthState {
	std::atomic<std::uint64_t> reinstalls{0};     // hooks put back after the system dropped one
	std::atomic<bool> reinstall_failed{false};    // the hook is gone and could not be put back
	std::atomic<std::uint32_t> away{0};           // AWAY_ bits; no key is captured while any is set
	std::atomic<std::uint64_t> absences{0};       // absences begun so far: the consumer releases held keys
	std::atomic<double> last_key_ms{0};           // wall clock of the last key seen, 0 before the first
	std::atomic<bool> elevated_foreground{false}; // the focused window's keys are hidden from us
	std::uint64_t keys_published = 0;             // hook thread only: keys_seen at the last publication
};

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
	// Key transitions the system source reported, capture open or not (hook thread only); test
	// keys are not among them.
	std::uint64_t keys_seen = 0;
	CaptureHealthState health;
	OsHookState os;
	// Set by start_hook_thread: how the ring's destructor ends a thread that still runs, without
	// the ring knowing the hook thread.
	void (*stop)(KeyRing &ring) = nullptr;
};

} // namespace clackery
