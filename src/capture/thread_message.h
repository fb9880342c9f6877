#pragma once
// The messages of the hook thread's queue, numbered as Windows numbers thread messages so that
// every platform carries the same values.

#include <cstdint>

namespace clackery {

constexpr std::uint32_t WM_QUIT_MESSAGE = 0x0012;      // WM_QUIT
constexpr std::uint32_t WM_CLACKERY_TEST_KEY = 0x8029; // WM_APP + 41
// Mouse capture is to follow HookControl::mouse_wanted (selected or registered only while on).
constexpr std::uint32_t WM_CLACKERY_MOUSE = 0x802A; // WM_APP + 42
// A stand-in for a system event (test requests and tests): wParam the event, lParam its argument.
constexpr std::uint32_t WM_CLACKERY_CAPTURE_TEST = 0x802B; // WM_APP + 43

struct ThreadMessage {
	std::uint32_t id = 0;
	std::uint64_t wparam = 0;
	std::uint64_t lparam = 0;
};

enum class WaitResult { message, quit, failed };

// Error codes kept in the hook's last error. Windows codes on every platform, so that the log
// line and the state mean the same everywhere.
constexpr std::uint32_t ERROR_CODE_NOT_ENOUGH_MEMORY = 8; // the thread or its queue could not be made
constexpr std::uint32_t ERROR_CODE_GEN_FAILURE = 31;      // the queue's wait failed (POSIX)
constexpr std::uint32_t ERROR_CODE_NOT_SUPPORTED = 50;    // no system-wide key source on this platform

} // namespace clackery
