// The privacy watcher on Windows: a thread of ours with a message queue receives focus window
// events out of context (never on the key hook's thread) and judges each newly focused object.
// The screen lock needs nothing here: the lock screen and the secure desktop keep keys from
// the low-level hook themselves.

#include "capture/capture_log.h"
#include "capture/os_input.h"
#include "capture/privacy_focus_win.h"
#include "capture/privacy_watch.h"

#include "common/win32.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace clackery {
namespace {

constexpr std::chrono::milliseconds kQueryLimit{250};

class WindowsPrivacyWatch;
// A window-event procedure gets no user data: it finds its watcher through the thread.
thread_local WindowsPrivacyWatch *thread_watch = nullptr;

class WindowsPrivacyWatch : public PrivacyWatch {
public:
	explicit WindowsPrivacyWatch(std::unique_ptr<FocusProbe> probe) : probe_(std::move(probe))
	{
		thread_ = std::thread([this] { run(); });
		std::unique_lock<std::mutex> lock(mutex_);
		ready_changed_.wait(lock, [this] { return ready_; });
	}

	~WindowsPrivacyWatch() override
	{
		if (thread_id_ != 0)
			PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
		thread_.join();
	}

	const PrivacyFlags &flags() const override { return flags_; }
	void recheck_lock() override {}
	void forget_lock() override {}

	void judge(const FocusTarget &target)
	{
		// The moment the focus changed, as near as we learn it: before any question is asked.
		const double t = os::clock_ms();
		const bool password = judge_focus(*probe_, worker_, target, kQueryLimit);
		record_focus_change(flags_, password, true, t);
	}

private:
	static void CALLBACK on_focus(HWINEVENTHOOK, DWORD, HWND window, LONG object_id, LONG child_id, DWORD, DWORD)
	{
		if (thread_watch && window)
			thread_watch->judge({reinterpret_cast<std::uintptr_t>(window), object_id, child_id});
	}

	void run()
	{
		MSG message;
		// The queue exists before the id is published, so that WM_QUIT is never lost.
		PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
		thread_watch = this;
		HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, on_focus, 0, 0,
						     WINEVENT_OUTOFCONTEXT);
		flags_.detector.store(hook ? PrivacyDetector::winevent : PrivacyDetector::none,
				      std::memory_order_release);
		if (!hook)
			capture_warning(
			    "privacy: focus events unavailable (error %lu); password fields are not recognised",
			    GetLastError());
		{
			std::lock_guard<std::mutex> lock(mutex_);
			thread_id_ = GetCurrentThreadId();
			ready_ = true;
		}
		ready_changed_.notify_one();
		if (hook) {
			if (const FocusTarget now = current_windows_focus(); now.window != 0)
				judge(now);
			while (GetMessageW(&message, nullptr, 0, 0) > 0)
				DispatchMessageW(&message);
			UnhookWinEvent(hook);
		}
		thread_watch = nullptr;
	}

	PrivacyFlags flags_;
	std::unique_ptr<FocusProbe> probe_;
	QueryWorker worker_;
	std::mutex mutex_;
	std::condition_variable ready_changed_;
	bool ready_ = false;
	DWORD thread_id_ = 0;
	std::thread thread_;
};

} // namespace

std::unique_ptr<PrivacyWatch> start_privacy_watch()
{
	return std::make_unique<WindowsPrivacyWatch>(make_windows_focus_probe());
}

std::unique_ptr<PrivacyWatch> start_privacy_watch_with(std::unique_ptr<FocusProbe> probe)
{
	return std::make_unique<WindowsPrivacyWatch>(std::move(probe));
}

} // namespace clackery
