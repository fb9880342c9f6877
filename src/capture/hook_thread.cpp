#include "capture/hook_thread.h"

#include "capture/key_message.h"
#include "capture/os_input.h"

#include <exception>
#include <functional>

namespace clackery {
namespace {

// A low-level hook procedure gets no user data: it finds its ring through the thread.
thread_local KeyRing *thread_ring = nullptr;

void handle_test_key(KeyRing &ring, const ThreadMessage &message)
{
	const std::uint64_t word = ring.capture_word.load(std::memory_order_acquire);
	// The poster's word must still be current: a pause, resume or layout change in between
	// voids the key just as it voids queued records.
	if ((word & CAPTURE_ACTIVE_BIT) == 0 || word != message.lparam) {
		ring.paused.fetch_add(1, std::memory_order_relaxed);
		return;
	}
	KeyRecord record = decode_test_key(message.wparam);
	record.t = os::clock_ms();
	push_record(ring, record, word);
}

void run_message_loop(KeyRing &ring)
{
	HookControl &control = ring.hook;
	while (!control.stop_requested.load(std::memory_order_acquire)) {
		ThreadMessage message;
		std::uint32_t error = 0;
		const WaitResult result = os::wait_message(control, message, error);
		if (result == WaitResult::quit)
			break;
		if (result == WaitResult::failed) {
			control.last_error.store(error, std::memory_order_release);
			break;
		}
		if (message.id == WM_CLACKERY_TEST_KEY)
			handle_test_key(ring, message);
		else if (message.id == WM_CLACKERY_MOUSE && control.install_os_hook)
			os::follow_mouse_wanted(ring);
	}
}

void hook_thread_main(KeyRing &ring)
{
	HookControl &control = ring.hook;
	std::uint32_t error = 0;
	bool ok = os::open_message_queue(control, error);
	if (ok) {
		control.thread_id.store(os::current_thread_id(), std::memory_order_release);
		thread_ring = &ring;
	}
	const bool installed = ok && control.install_os_hook;
	if (installed)
		ok = os::install_capture(ring, error);
	if (installed && ok)
		os::follow_mouse_wanted(ring);

	control.last_error.store(error, std::memory_order_release);
	control.hook_running.store(ok, std::memory_order_release);
	{
		std::lock_guard<std::mutex> lock(control.mutex);
		control.ready = true;
	}
	control.ready_changed.notify_one();

	if (ok) {
		run_message_loop(ring);
		if (installed)
			os::remove_capture(ring);
	}
	thread_ring = nullptr;
	control.hook_running.store(false, std::memory_order_release);
	control.thread_id.store(0, std::memory_order_release);
	os::close_message_queue(control);
}

} // namespace

KeyRing *hook_thread_ring()
{
	return thread_ring;
}

void record_captured_key(KeyRing &ring, KeyRecord record)
{
	const std::uint64_t word = ring.capture_word.load(std::memory_order_acquire);
	if ((word & CAPTURE_ACTIVE_BIT) == 0)
		return;
	record.synthetic = false;
	record.t = os::clock_ms();
	push_record(ring, record, word);
}

bool start_hook_thread(KeyRing &ring, bool install_os_hook)
{
	HookControl &control = ring.hook;
	if (control.started)
		return control.hook_running.load(std::memory_order_acquire);
	control.started = true;
	control.stop = stop_hook_thread;
	control.install_os_hook = install_os_hook;
	control.stop_requested.store(false, std::memory_order_release);
	{
		std::lock_guard<std::mutex> lock(control.mutex);
		control.ready = false;
	}
	try {
		control.thread = std::thread(hook_thread_main, std::ref(ring));
	} catch (const std::exception &) {
		control.last_error.store(ERROR_CODE_NOT_ENOUGH_MEMORY, std::memory_order_release);
		return false;
	}
	{
		// No time-out: the thread reports ready before anything in it can block.
		std::unique_lock<std::mutex> lock(control.mutex);
		control.ready_changed.wait(lock, [&control] { return control.ready; });
	}
	const bool running = control.hook_running.load(std::memory_order_acquire);
	if (!running)
		control.thread.join();
	return running;
}

void stop_hook_thread(KeyRing &ring)
{
	HookControl &control = ring.hook;
	bump_generation(ring, false);
	control.stop_requested.store(true, std::memory_order_release);
	if (control.thread.joinable()) {
		// Zero when the thread has already ended on its own: nothing to wake.
		const std::uint32_t id = control.thread_id.load(std::memory_order_acquire);
		if (id != 0)
			os::post_message(control, id, ThreadMessage{WM_QUIT_MESSAGE, 0, 0});
		control.thread.join();
	}
	control.started = false;
	drain_ring(ring);
}

bool post_test_key(KeyRing &ring, const KeyRecord &record)
{
	HookControl &control = ring.hook;
	if (!control.hook_running.load(std::memory_order_acquire) ||
	    control.stop_requested.load(std::memory_order_acquire))
		return false;
	const std::optional<std::uint64_t> wparam = encode_test_key(record);
	if (!wparam)
		return false;
	const std::uint32_t id = control.thread_id.load(std::memory_order_acquire);
	if (id == 0)
		return false;
	const std::uint64_t word = ring.capture_word.load(std::memory_order_acquire);
	return os::post_message(control, id, ThreadMessage{WM_CLACKERY_TEST_KEY, *wparam, word});
}

void set_mouse_capture(KeyRing &ring, bool on)
{
	HookControl &control = ring.hook;
	if (control.mouse_wanted.exchange(on, std::memory_order_acq_rel) == on)
		return;
	// A thread that is not running picks the wish up when it starts.
	const std::uint32_t id = control.thread_id.load(std::memory_order_acquire);
	if (id != 0 && !control.stop_requested.load(std::memory_order_acquire))
		os::post_message(control, id, ThreadMessage{WM_CLACKERY_MOUSE, 0, 0});
}

bool mouse_capture_active(const KeyRing &ring)
{
	return ring.hook.mouse_active.load(std::memory_order_acquire);
}

bool hook_running(const KeyRing &ring)
{
	return ring.hook.hook_running.load(std::memory_order_acquire);
}

std::uint32_t hook_last_error(const KeyRing &ring)
{
	return ring.hook.last_error.load(std::memory_order_acquire);
}

KeyState key_state(std::uint32_t vk)
{
	return os::key_state(vk);
}

} // namespace clackery
