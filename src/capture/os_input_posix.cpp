// POSIX: a thread queue of ours, woken through an eventfd, and a pluggable key source whose file
// descriptor is polled in the same wait. The queue mirrors the Windows thread queue: posting
// fails once the reading thread has gone or the queue is full.

#include "capture/key_backend.h"
#include "capture/os_input.h"
#include "capture/ring.h"

#include "common/clock.h"

#ifdef CLACKERY_CAPTURE_X11
#include "capture/x11_key_source.h"
#endif

#include <cerrno>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace clackery {
namespace {

// The Windows thread queue's limit.
constexpr std::size_t QUEUE_LIMIT = 10000;

std::atomic<KeyBackendFactory> backend_factory{nullptr};

std::unique_ptr<KeyBackend> platform_key_backend(std::uint32_t &error)
{
#ifdef CLACKERY_CAPTURE_X11
	return open_x11_key_backend(error);
#else
	error = ERROR_CODE_NOT_SUPPORTED;
	return nullptr;
#endif
}

void clear_wake(int fd)
{
	std::uint64_t count = 0;
	while (read(fd, &count, sizeof(count)) < 0 && errno == EINTR) {
	}
}

} // namespace

OsHookState::OsHookState() = default;
OsHookState::~OsHookState() = default;

std::unique_ptr<KeyBackend> open_key_backend(std::uint32_t &error)
{
	const KeyBackendFactory factory = backend_factory.load(std::memory_order_acquire);
	return factory ? factory(error) : platform_key_backend(error);
}

void set_key_backend_factory(KeyBackendFactory factory)
{
	backend_factory.store(factory, std::memory_order_release);
}

namespace os {

bool open_message_queue(HookControl &control, std::uint32_t &error)
{
	OsHookState &state = control.os;
	const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
	if (fd < 0) {
		error = ERROR_CODE_NOT_ENOUGH_MEMORY;
		return false;
	}
	// A name to find the thread by in top, a debugger or /proc.
	pthread_setname_np(pthread_self(), "clackery-hook");
	std::lock_guard<std::mutex> lock(state.mutex);
	state.messages.clear();
	state.wake_fd = fd;
	state.owner = current_thread_id();
	return true;
}

void close_message_queue(HookControl &control)
{
	OsHookState &state = control.os;
	std::lock_guard<std::mutex> lock(state.mutex);
	if (state.wake_fd >= 0)
		close(state.wake_fd);
	state.wake_fd = -1;
	state.owner = 0;
	state.messages.clear();
}

std::uint32_t current_thread_id()
{
	return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

bool install_capture(KeyRing &ring, std::uint32_t &error)
{
	std::unique_ptr<KeyBackend> backend = open_key_backend(error);
	if (!backend) {
		if (error == 0)
			error = ERROR_CODE_NOT_SUPPORTED;
		return false;
	}
	ring.hook.os.backend = std::move(backend);
	return true;
}

void remove_capture(KeyRing &ring)
{
	ring.hook.os.backend.reset();
	ring.hook.mouse_active.store(false, std::memory_order_release);
}

void follow_mouse_wanted(KeyRing &ring)
{
	if (!ring.hook.os.backend)
		return;
	const bool wanted = ring.hook.mouse_wanted.load(std::memory_order_acquire);
	const bool selected = ring.hook.os.backend->set_mouse(wanted);
	ring.hook.mouse_active.store(wanted && selected, std::memory_order_release);
}

bool reinstall_capture(KeyRing &ring, std::uint32_t &error)
{
	remove_capture(ring);
	return install_capture(ring, error);
}

// A key source read from a descriptor is not removed behind the reader's back.
void drop_capture_unnoticed(KeyRing &) {}

void start_watchers(KeyRing &) {}
void stop_watchers(KeyRing &) {}

// Raising a thread's priority needs privileges here that the host does not have.
void raise_thread_priority() {}

WaitResult wait_message(HookControl &control, ThreadMessage &message, std::uint32_t &error)
{
	OsHookState &state = control.os;
	for (;;) {
		int wake_fd = -1;
		{
			std::lock_guard<std::mutex> lock(state.mutex);
			if (!state.messages.empty()) {
				message = state.messages.front();
				state.messages.pop_front();
				return message.id == WM_QUIT_MESSAGE ? WaitResult::quit : WaitResult::message;
			}
			wake_fd = state.wake_fd;
		}
		// What was stored before this wait wakes the consumer now, not after it.
		if (KeyRing *ring = hook_thread_ring())
			before_wait(*ring);
		// Only this thread closes the descriptor, so it stays valid outside the lock.
		pollfd fds[2] = {{wake_fd, POLLIN, 0}, {-1, POLLIN, 0}};
		nfds_t count = 1;
		if (state.backend) {
			fds[1].fd = state.backend->fd();
			count = 2;
		}
		if (poll(fds, count, -1) < 0) {
			if (errno == EINTR)
				continue;
			error = errno == ENOMEM ? ERROR_CODE_NOT_ENOUGH_MEMORY : ERROR_CODE_GEN_FAILURE;
			return WaitResult::failed;
		}
		if (fds[0].revents & POLLIN)
			clear_wake(wake_fd);
		if (count == 2 && fds[1].revents != 0 && !state.backend->dispatch(*hook_thread_ring(), error))
			return WaitResult::failed;
	}
}

bool post_message(HookControl &control, std::uint32_t thread_id, const ThreadMessage &message)
{
	OsHookState &state = control.os;
	std::lock_guard<std::mutex> lock(state.mutex);
	if (state.owner == 0 || state.owner != thread_id || state.messages.size() >= QUEUE_LIMIT)
		return false;
	state.messages.push_back(message);
	// Written under the lock so that the reader cannot close the descriptor in between.
	const std::uint64_t one = 1;
	while (write(state.wake_fd, &one, sizeof(one)) < 0 && errno == EINTR) {
	}
	return true;
}

double clock_ms()
{
	return wall_clock_ms();
}

#ifdef CLACKERY_CAPTURE_X11
KeyState key_state(std::uint32_t vk)
{
	return x11_key_state(vk);
}

std::uint32_t key_state_error()
{
	return x11_key_state_error();
}
#else
KeyState key_state(std::uint32_t)
{
	// No system-wide key state without a key source.
	return KeyState::unknown;
}

std::uint32_t key_state_error()
{
	return 0;
}
#endif

} // namespace os
} // namespace clackery
