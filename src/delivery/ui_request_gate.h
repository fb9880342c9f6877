#pragma once
// Runs work on the UI thread on behalf of another thread and blocks that thread until the work
// has run or certainly never will. Shutdown closes the gate, which cuts off every outstanding
// request at once, and then waits until no caller is left inside.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

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
	void wait_idle();

private:
	std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace clackery
