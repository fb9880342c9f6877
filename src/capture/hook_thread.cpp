#include "capture/hook_thread.h"

#include "capture/capture_log.h"
#include "capture/elevation.h"
#include "capture/key_message.h"
#include "capture/os_input.h"

#include <exception>
#include <functional>

namespace clackery {
namespace {

// A low-level hook procedure gets no user data: it finds its ring through the thread.
thread_local KeyRing *thread_ring = nullptr;

// Whether this thread owns a system capture now (not in test mode, not while away).
bool owns_capture(const KeyRing &ring)
{
	return ring.hook.install_os_hook && ring.hook.health.away.load(std::memory_order_relaxed) == 0;
}

void handle_test_key(KeyRing &ring, const ThreadMessage &message)
{
	const std::uint64_t word = ring.capture_word.load(std::memory_order_acquire);
	// The poster's word must still be current: a pause, resume or layout change in between
	// voids the key just as it voids queued records. While the session is away nothing is
	// captured, test keys included.
	if ((word & CAPTURE_ACTIVE_BIT) == 0 || word != message.lparam ||
	    ring.hook.health.away.load(std::memory_order_relaxed) != 0) {
		ring.paused.fetch_add(1, std::memory_order_relaxed);
		return;
	}
	KeyRecord record = decode_test_key(message.wparam);
	record.t = os::clock_ms();
	push_record(ring, record, word);
	// Not a sighting of the system source (the witness pairs those), but a key all the same.
	ring.hook.health.last_key_ms.store(record.t, std::memory_order_release);
}

void set_elevated_foreground(KeyRing &ring, bool elevated)
{
	if (ring.hook.health.elevated_foreground.exchange(elevated, std::memory_order_acq_rel) == elevated)
		return;
	if (elevated)
		capture_warning("the focused window runs with higher rights than OBS (as administrator): "
				"its keys cannot be captured");
	else
		capture_warning("the focused window's keys can be captured again");
}

void handle_capture_test(KeyRing &ring, const ThreadMessage &message)
{
	switch (static_cast<CaptureTestEvent>(message.wparam)) {
	case CaptureTestEvent::drop_hook:
		if (owns_capture(ring))
			os::drop_capture_unnoticed(ring);
		break;
	case CaptureTestEvent::hook_lost:
		recover_lost_hook(ring, static_cast<std::uint32_t>(message.lparam));
		break;
	case CaptureTestEvent::away:
		change_absence(ring, static_cast<std::uint32_t>(message.lparam), true);
		break;
	case CaptureTestEvent::back:
		change_absence(ring, static_cast<std::uint32_t>(message.lparam), false);
		break;
	case CaptureTestEvent::foreground:
		set_elevated_foreground(ring, message.lparam != 0);
		break;
	case CaptureTestEvent::check_foreground:
		check_foreground(ring);
		break;
	}
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
		else if (message.id == WM_CLACKERY_MOUSE && owns_capture(ring))
			os::follow_mouse_wanted(ring);
		else if (message.id == WM_CLACKERY_CAPTURE_TEST)
			handle_capture_test(ring, message);
	}
}

void hook_thread_main(KeyRing &ring)
{
	HookControl &control = ring.hook;
	std::uint32_t error = 0;
	bool ok = os::open_message_queue(control, error);
	if (ok) {
		os::raise_thread_priority();
		control.thread_id.store(os::current_thread_id(), std::memory_order_release);
		thread_ring = &ring;
	}
	const bool installed = ok && control.install_os_hook;
	if (installed)
		ok = os::install_capture(ring, error);
	if (installed && ok) {
		os::follow_mouse_wanted(ring);
		os::start_watchers(ring);
		check_foreground(ring);
	}

	control.last_error.store(error, std::memory_order_release);
	control.hook_running.store(ok, std::memory_order_release);
	{
		std::lock_guard<std::mutex> lock(control.mutex);
		control.ready = true;
	}
	control.ready_changed.notify_one();

	if (ok) {
		run_message_loop(ring);
		if (installed) {
			os::stop_watchers(ring);
			os::remove_capture(ring);
		}
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

void record_witnessed_key(KeyRing &ring, KeyRecord record)
{
	const std::uint64_t word = ring.capture_word.load(std::memory_order_acquire);
	if ((word & CAPTURE_ACTIVE_BIT) == 0)
		return;
	record.synthetic = false;
	push_record(ring, record, word);
}

void before_wait(KeyRing &ring)
{
	HookControl &control = ring.hook;
	// One clock read per batch of keys, here rather than in the hook.
	if (control.keys_seen != control.health.keys_published) {
		control.health.keys_published = control.keys_seen;
		control.health.last_key_ms.store(os::clock_ms(), std::memory_order_release);
	}
	raise_ring_wake(ring);
}

void recover_lost_hook(KeyRing &ring, std::uint32_t forced_error)
{
	HookControl &control = ring.hook;
	std::uint32_t error = forced_error;
	bool ok = false;
	if (forced_error == 0) {
		// In test mode there is no system hook to put back; while away it comes back on return.
		ok = !owns_capture(ring) || os::reinstall_capture(ring, error);
	}
	CaptureHealthState &health = control.health;
	if (!ok) {
		control.last_error.store(error, std::memory_order_release);
		if (!health.reinstall_failed.exchange(true, std::memory_order_acq_rel))
			capture_warning("hook lost and not reinstalled error=%lu", static_cast<unsigned long>(error));
		return;
	}
	// A source put back anew (X11 reopens its connection) selects the mouse again when wanted.
	if (owns_capture(ring))
		os::follow_mouse_wanted(ring);
	const std::uint64_t count = health.reinstalls.fetch_add(1, std::memory_order_acq_rel) + 1;
	health.reinstall_failed.store(false, std::memory_order_release);
	capture_warning("hook reinstalled (%llu)", static_cast<unsigned long long>(count));
}

void change_absence(KeyRing &ring, std::uint32_t bits, bool away)
{
	CaptureHealthState &health = ring.hook.health;
	const std::uint32_t before = health.away.load(std::memory_order_relaxed);
	const std::uint32_t after = away ? (before | bits) : (before & ~bits);
	if (after == before)
		return;
	if (before == 0) {
		// Nothing is captured until the session is back: the hook goes, so no key can slip in.
		if (ring.hook.install_os_hook)
			os::remove_capture(ring);
		health.away.store(after, std::memory_order_release);
		health.absences.fetch_add(1, std::memory_order_acq_rel);
		capture_warning("key capture paused: the session is locked, switched or asleep");
		return;
	}
	health.away.store(after, std::memory_order_release);
	if (after != 0)
		return;
	// The system may have dropped the hook meanwhile: a fresh one is put in, always.
	HookControl &control = ring.hook;
	std::uint32_t error = 0;
	if (control.install_os_hook && !os::reinstall_capture(ring, error)) {
		control.last_error.store(error, std::memory_order_release);
		health.reinstall_failed.store(true, std::memory_order_release);
		capture_warning("key capture not resumed after the session came back error=%lu",
				static_cast<unsigned long>(error));
	} else {
		// The absence took the mouse's capture with the hook.
		if (control.install_os_hook)
			os::follow_mouse_wanted(ring);
		health.reinstall_failed.store(false, std::memory_order_release);
		capture_warning("key capture resumed: the session is back");
	}
	check_foreground(ring);
}

void check_foreground(KeyRing &ring)
{
	IntegrityProbe &probe = integrity_probe();
	set_elevated_foreground(ring, foreground_is_elevated(probe.own_process(), probe.foreground_process()));
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

bool post_capture_test_event(KeyRing &ring, std::uint32_t event, std::uint64_t arg)
{
	HookControl &control = ring.hook;
	if (event < static_cast<std::uint32_t>(CaptureTestEvent::drop_hook) ||
	    event > static_cast<std::uint32_t>(CaptureTestEvent::check_foreground))
		return false;
	if (!control.hook_running.load(std::memory_order_acquire) ||
	    control.stop_requested.load(std::memory_order_acquire))
		return false;
	const std::uint32_t id = control.thread_id.load(std::memory_order_acquire);
	return id != 0 && os::post_message(control, id, ThreadMessage{WM_CLACKERY_CAPTURE_TEST, event, arg});
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
