#include "delivery/ui_request_gate.h"

#include <utility>
#include <vector>

namespace clackery {
namespace {

using Work = UiRequestGate::Work;

// Runs request work with the state's lock held. Returns what was deferred until the outermost
// work returned, for the caller to run once it has let go of the lock.
std::vector<Work> run_work(UiRequestGate::State &state, const Work &work)
{
	++state.workDepth;
	work();
	--state.workDepth;
	std::vector<Work> finish;
	if (state.workDepth == 0)
		finish.swap(state.afterWork);
	return finish;
}

void run_all(std::vector<Work> &finish)
{
	for (Work &step : finish)
		step();
}

// The queued half of a request: runs the work only if the caller still waits for it in the
// same open period.
void run_ticket(UiRequestGate::State &state, UiRequestGate::Ticket &ticket)
{
	std::vector<Work> finish;
	{
		std::unique_lock<std::recursive_mutex> lock(state.mutex);
		if (!ticket.done && state.open && ticket.generation == state.generation) {
			finish = run_work(state, ticket.work);
			ticket.ran = true;
		}
		ticket.done = true;
		ticket.work = nullptr;
		state.changed.notify_all();
	}
	run_all(finish);
}

} // namespace

bool UiRequestGate::run(Work work, Post post, bool inlineOk)
{
	std::shared_ptr<State> state = state_;
	std::unique_lock<std::recursive_mutex> lock(state->mutex);
	if (!state->open) {
		lock.unlock();
		work = nullptr;
		post = nullptr;
		return false;
	}
	if (inlineOk) {
		std::vector<Work> finish = run_work(*state, work);
		lock.unlock();
		run_all(finish);
		return true;
	}

	auto ticket = std::make_shared<Ticket>();
	ticket->work = std::move(work);
	ticket->generation = state->generation;
	++state->pending;

	const bool posted = post([state, ticket] { run_ticket(*state, *ticket); });
	if (!posted) {
		ticket->done = true;
	} else {
		state->changed.wait(
		    lock, [&] { return ticket->done || !state->open || state->generation != ticket->generation; });
	}
	// Whatever ended the wait, a task that runs from now on must find nothing to do.
	ticket->done = true;
	ticket->work = nullptr;

	--state->pending;
	state->changed.notify_all();
	return ticket->ran;
}

void UiRequestGate::open()
{
	std::lock_guard<std::recursive_mutex> lock(state_->mutex);
	++state_->generation;
	state_->open = true;
	state_->changed.notify_all();
}

void UiRequestGate::close()
{
	std::lock_guard<std::recursive_mutex> lock(state_->mutex);
	state_->open = false;
	++state_->generation;
	state_->changed.notify_all();
}

void UiRequestGate::wait_idle()
{
	std::unique_lock<std::recursive_mutex> lock(state_->mutex);
	// Waiting here would release only this level of the lock: the work beneath keeps it, and
	// every caller needs it to leave.
	if (state_->workDepth > 0)
		return;
	state_->changed.wait(lock, [&] { return state_->pending == 0; });
}

bool UiRequestGate::defer_until_work_returns(Work finish)
{
	std::lock_guard<std::recursive_mutex> lock(state_->mutex);
	if (state_->workDepth == 0)
		return false;
	state_->afterWork.push_back(std::move(finish));
	return true;
}

} // namespace clackery
