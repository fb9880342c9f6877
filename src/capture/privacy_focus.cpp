#include "capture/privacy_focus.h"

#include <condition_variable>
#include <mutex>

namespace clackery {

struct QueryWorker::Shared {
	std::mutex mutex;
	std::condition_variable changed;
	std::function<std::optional<bool>()> job; // guarded by mutex, like everything here
	std::uint64_t asked = 0;                  // number of the latest question
	std::uint64_t answered = 0;               // number of the latest question that returned
	std::optional<bool> answer;
	bool busy = false;
	bool stop = false;
};

namespace {

void serve(const std::shared_ptr<QueryWorker::Shared> &shared)
{
	std::unique_lock<std::mutex> lock(shared->mutex);
	for (;;) {
		shared->changed.wait(lock, [&] { return shared->stop || shared->job; });
		if (!shared->job)
			return;
		auto job = std::move(shared->job);
		shared->job = nullptr;
		const std::uint64_t number = shared->asked;
		shared->busy = true;
		lock.unlock();
		const std::optional<bool> answer = job();
		lock.lock();
		shared->busy = false;
		shared->answered = number;
		shared->answer = answer;
		shared->changed.notify_all();
	}
}

} // namespace

QueryWorker::QueryWorker() : shared_(std::make_shared<Shared>())
{
	thread_ = std::thread([shared = shared_] { serve(shared); });
}

QueryWorker::~QueryWorker()
{
	bool stuck = false;
	{
		std::lock_guard<std::mutex> lock(shared_->mutex);
		shared_->stop = true;
		shared_->job = nullptr;
		stuck = shared_->busy;
	}
	shared_->changed.notify_all();
	// A question that hangs in another program must not hang our shutdown: the thread keeps
	// its share of the state and ends on its own if the question ever returns.
	if (stuck)
		thread_.detach();
	else
		thread_.join();
}

std::optional<bool> QueryWorker::ask(std::function<std::optional<bool>()> query, std::chrono::milliseconds limit)
{
	std::unique_lock<std::mutex> lock(shared_->mutex);
	if (shared_->busy || shared_->job)
		return std::nullopt;
	shared_->job = std::move(query);
	const std::uint64_t number = ++shared_->asked;
	shared_->changed.notify_all();
	if (!shared_->changed.wait_for(lock, limit, [&] { return shared_->answered == number; })) {
		// Not yet taken: withdraw it, so that a late start cannot run a stale question.
		if (shared_->asked == number && shared_->job)
			shared_->job = nullptr;
		return std::nullopt;
	}
	return shared_->answer;
}

bool judge_focus(FocusProbe &probe, QueryWorker &worker, const FocusTarget &target, std::chrono::milliseconds limit)
{
	if (const std::optional<bool> classic = probe.classic_edit_password(target))
		return *classic;
	if (worker.ask([&probe, target] { return probe.accessible_protected(target); }, limit).value_or(false))
		return true;
	// A "not protected" may only be the system's stand-in for an object that the application
	// describes through UI Automation alone.
	return worker.ask([&probe, target] { return probe.automation_is_password(target); }, limit).value_or(false);
}

} // namespace clackery
