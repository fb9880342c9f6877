#pragma once
// Runs work on the UI thread on behalf of another thread and blocks that thread until the work
// has run or certainly never will. Shutdown closes the gate, which cuts off every outstanding
// request at once, and then waits until no caller is left inside.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace clackery {

class UiRequestGate {
public:
	using Work = std::function<void()>;
	// Queues its argument for later execution on the UI thread (never runs it synchronously) and
	// says whether it was queued.
	using Post = std::function<bool(std::function<void()>)>;

	struct State {
		// Held while request work runs, so requests never overlap each other or a close.
		std::recursive_mutex mutex;
		std::condition_variable_any changed;
		bool open = false;
		// Advanced at every open and close: a ticket of one open period never runs in another.
		std::uint64_t generation = 0;
		// Posted tickets whose caller is still inside run.
		std::uint64_t pending = 0;
		// How deep request work is nested on the thread that holds the lock. Work runs with the
		// lock held, so whoever takes the lock and finds this above 0 runs above that work.
		unsigned workDepth = 0;
		// What must wait until the outermost work on the UI thread has returned.
		std::vector<Work> afterWork;
	};

	struct Ticket {
		Work work;
		std::uint64_t generation = 0;
		bool done = false;
		bool ran = false;
	};

	// Any thread. True exactly when `work` was executed. `inlineOk` says the caller already is
	// the UI thread. Once this returns, `work` will never be executed.
	bool run(Work work, Post post, bool inlineOk);

	// UI thread.
	void open();
	void close();
	// Waits until no caller is left inside run. Called from inside request work (the host can
	// interrupt the UI thread anywhere and shut down from there), it returns at once: the work
	// beneath can only finish once this returns, and its caller leaves after that.
	void wait_idle();
	// UI thread. When request work runs beneath the caller on this thread, keeps `finish` to run
	// right after the outermost work has returned and says true; otherwise says false and the
	// caller runs it itself.
	bool defer_until_work_returns(Work finish);

private:
	std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace clackery
