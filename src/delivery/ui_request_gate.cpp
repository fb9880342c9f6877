#include "delivery/ui_request_gate.h"

#include <utility>

namespace clackery {
namespace {

// The queued half of a request: runs the work only if the caller still waits for it in the
// same open period.
void run_ticket(UiRequestGate::State &state, UiRequestGate::Ticket &ticket)
{
	std::unique_lock<std::recursive_mutex> lock(state.mutex);
	if (!ticket.done && state.open && ticket.generation == state.generation) {
		ticket.work();
		ticket.ran = true;
	}
	ticket.done = true;
	ticket.work = nullptr;
	state.changed.notify_all();
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
		work();
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
	state_->changed.wait(lock, [&] { return state_->pending == 0; });
}

} // namespace clackery
