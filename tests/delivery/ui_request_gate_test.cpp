// The request gate with plain threads standing in for obs-websocket's request threads and the
// OBS UI thread.
#include "delivery/ui_request_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using clackery::UiRequestGate;
using namespace std::chrono_literals;

namespace {

// The UI thread's queue: tasks wait here until the test (or a runner thread) runs them.
class TaskQueue {
public:
	UiRequestGate::Post poster()
	{
		return [this](std::function<void()> task) {
			std::lock_guard<std::mutex> lock(mutex_);
			++posted_;
			tasks_.push_back(std::move(task));
			changed_.notify_all();
			return true;
		};
	}

	// Blocks until a task is queued (or the queue is stopped) and takes it.
	std::function<void()> take()
	{
		std::unique_lock<std::mutex> lock(mutex_);
		changed_.wait(lock, [&] { return !tasks_.empty() || stopped_; });
		if (tasks_.empty())
			return {};
		auto task = std::move(tasks_.front());
		tasks_.pop_front();
		return task;
	}

	void stop()
	{
		std::lock_guard<std::mutex> lock(mutex_);
		stopped_ = true;
		changed_.notify_all();
	}

	int posted()
	{
		std::lock_guard<std::mutex> lock(mutex_);
		return posted_;
	}

private:
	std::mutex mutex_;
	std::condition_variable changed_;
	std::deque<std::function<void()>> tasks_;
	int posted_ = 0;
	bool stopped_ = false;
};

UiRequestGate::Post refusing_post(int &calls)
{
	return [&calls](std::function<void()>) {
		++calls;
		return false;
	};
}

// A request thread: runs one request through the gate and keeps its result.
struct Caller {
	Caller(UiRequestGate &gate, TaskQueue &queue, std::atomic<int> &executed)
	    : result(std::async(std::launch::async, [g = &gate, q = &queue, e = &executed] {
		      return g->run([e] { ++*e; }, q->poster(), false);
	      }))
	{
	}
	std::future<bool> result;
};

bool finishes_soon(std::future<void> &done)
{
	return done.wait_for(10s) == std::future_status::ready;
}

} // namespace

TEST(UiRequestGate, ClosedGateRefusesWithoutPosting)
{
	UiRequestGate gate;
	int posts = 0;
	bool executed = false;
	EXPECT_FALSE(gate.run([&] { executed = true; }, refusing_post(posts), false));
	EXPECT_FALSE(gate.run([&] { executed = true; }, refusing_post(posts), true));
	EXPECT_FALSE(executed);
	EXPECT_EQ(posts, 0);
}

TEST(UiRequestGate, InlineCallerRunsWorkAtOnceWithoutPosting)
{
	UiRequestGate gate;
	gate.open();
	int posts = 0;
	bool executed = false;
	EXPECT_TRUE(gate.run([&] { executed = true; }, refusing_post(posts), true));
	EXPECT_TRUE(executed);
	EXPECT_EQ(posts, 0);
}

TEST(UiRequestGate, RefusedPostReturnsFalseWithoutWaitingOrLeavingAnythingPending)
{
	UiRequestGate gate;
	gate.open();
	int posts = 0;
	bool executed = false;
	EXPECT_FALSE(gate.run([&] { executed = true; }, refusing_post(posts), false));
	EXPECT_EQ(posts, 1);
	EXPECT_FALSE(executed);
	auto idle = std::async(std::launch::async, [&] { gate.wait_idle(); });
	EXPECT_TRUE(finishes_soon(idle));
}

TEST(UiRequestGate, PostedWorkRunsWhereTheTaskRunsAndTheCallerWaitsForIt)
{
	UiRequestGate gate;
	gate.open();
	TaskQueue queue;
	std::thread::id ranOn;
	auto result = std::async(std::launch::async, [&] {
		return gate.run([&] { ranOn = std::this_thread::get_id(); }, queue.poster(), false);
	});
	auto task = queue.take();
	ASSERT_TRUE(task);
	EXPECT_EQ(result.wait_for(0s), std::future_status::timeout);
	task();
	EXPECT_TRUE(result.get());
	EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(UiRequestGate, CloseWakesTheWaitingCallerAndTheLateTaskDoesNothing)
{
	UiRequestGate gate;
	gate.open();
	TaskQueue queue;
	std::atomic<int> executed{0};
	Caller caller(gate, queue, executed);
	auto task = queue.take();
	gate.close();
	EXPECT_FALSE(caller.result.get());
	task();
	EXPECT_EQ(executed.load(), 0);
}

TEST(UiRequestGate, TaskQueuedBeforeACloseDoesNothingAfterTheNextOpen)
{
	UiRequestGate gate;
	gate.open();
	TaskQueue queue;
	std::atomic<int> executed{0};
	Caller caller(gate, queue, executed);
	auto task = queue.take();
	// Inline work holds the gate's lock, so the caller cannot give up between these steps: only
	// the generation tells the task that its period has ended.
	int posts = 0;
	EXPECT_TRUE(gate.run(
	    [&] {
		    gate.close();
		    gate.open();
		    task();
	    },
	    refusing_post(posts), true));
	EXPECT_FALSE(caller.result.get());
	EXPECT_EQ(executed.load(), 0);
}

TEST(UiRequestGate, WaitIdleReturnsOnlyOnceEveryWaitingCallerHasLeft)
{
	UiRequestGate gate;
	auto idleAtOnce = std::async(std::launch::async, [&] { gate.wait_idle(); });
	EXPECT_TRUE(finishes_soon(idleAtOnce));

	gate.open();
	TaskQueue queue;
	std::atomic<int> executed{0};
	Caller first(gate, queue, executed);
	Caller second(gate, queue, executed);
	auto firstTask = queue.take();
	auto secondTask = queue.take();
	auto idle = std::async(std::launch::async, [&] { gate.wait_idle(); });
	// Both callers still wait for their tasks, so the gate cannot be idle yet.
	EXPECT_EQ(idle.wait_for(50ms), std::future_status::timeout);
	// Either caller's task may have been queued first; one still waits after the first runs.
	firstTask();
	EXPECT_EQ(idle.wait_for(50ms), std::future_status::timeout);
	secondTask();
	EXPECT_TRUE(first.result.get());
	EXPECT_TRUE(second.result.get());
	EXPECT_TRUE(finishes_soon(idle));
	EXPECT_EQ(executed.load(), 2);
}

TEST(UiRequestGate, WorkOfManyCallersNeverOverlapsAndEachResultTellsWhetherItRan)
{
	constexpr int kCallers = 8;
	constexpr int kRequestsEach = 200;
	UiRequestGate gate;
	gate.open();
	TaskQueue queue;

	std::atomic<int> inside{0};
	std::atomic<int> overlaps{0};
	std::atomic<int> executed{0};
	auto work = [&] {
		if (++inside != 1)
			++overlaps;
		std::this_thread::yield();
		++executed;
		--inside;
	};
	// Two runners take tasks at once: only the gate keeps their work apart.
	std::vector<std::thread> runners;
	for (int i = 0; i < 2; ++i) {
		runners.emplace_back([&] {
			while (auto task = queue.take())
				task();
		});
	}
	std::atomic<int> succeeded{0};
	std::vector<std::thread> callers;
	for (int i = 0; i < kCallers; ++i) {
		callers.emplace_back([&] {
			for (int n = 0; n < kRequestsEach; ++n) {
				if (gate.run(work, queue.poster(), false))
					++succeeded;
			}
		});
	}
	for (auto &caller : callers)
		caller.join();
	EXPECT_EQ(overlaps.load(), 0);
	EXPECT_EQ(succeeded.load(), kCallers * kRequestsEach);
	EXPECT_EQ(executed.load(), kCallers * kRequestsEach);

	// Closing while callers fire: every caller ends, and true means exactly "it ran".
	executed = 0;
	succeeded = 0;
	std::atomic<bool> firing{true};
	callers.clear();
	for (int i = 0; i < kCallers; ++i) {
		callers.emplace_back([&] {
			while (firing) {
				if (gate.run(work, queue.poster(), false))
					++succeeded;
			}
		});
	}
	while (queue.posted() < kCallers * kRequestsEach + 100)
		std::this_thread::yield();
	gate.close();
	auto idle = std::async(std::launch::async, [&] { gate.wait_idle(); });
	EXPECT_TRUE(finishes_soon(idle));
	firing = false;
	for (auto &caller : callers)
		caller.join();
	queue.stop();
	for (auto &runner : runners)
		runner.join();
	EXPECT_EQ(overlaps.load(), 0);
	EXPECT_EQ(succeeded.load(), executed.load());
	EXPECT_GT(executed.load(), 0);
}

// The host may shut down from inside a request's work on the UI thread (its interrupt handler
// closes the main window wherever the thread was). Shutdown must not wait for that work, and
// what it frees must wait until the work has returned.
TEST(UiRequestGate, ShutdownInsideRequestWorkNeitherWaitsForItNorFreesBeneathIt)
{
	UiRequestGate gate;
	EXPECT_FALSE(gate.defer_until_work_returns([] {}));
	gate.open();
	TaskQueue queue;
	std::atomic<int> executed{0};
	Caller other(gate, queue, executed);
	auto otherTask = queue.take();

	std::vector<std::string> order;
	auto interrupted = std::async(std::launch::async, [&] {
		return gate.run(
		    [&] {
			    order.push_back("work");
			    gate.close();
			    gate.wait_idle();
			    const bool deferred = gate.defer_until_work_returns([&] { order.push_back("freed"); });
			    order.push_back(deferred ? "deferred" : "not deferred");
			    order.push_back("work resumes");
		    },
		    queue.poster(), false);
	});
	auto task = queue.take();
	// A hang here is the fault itself; the stuck threads cannot be joined, so end the run.
	std::thread ui([&, task] { task(); });
	auto uiDone = std::async(std::launch::async, [&] { ui.join(); });
	if (uiDone.wait_for(10s) != std::future_status::ready) {
		std::fprintf(stderr, "shutdown inside request work waited for that work\n");
		std::_Exit(1);
	}
	EXPECT_EQ(order, (std::vector<std::string>{"work", "deferred", "work resumes", "freed"}));
	EXPECT_TRUE(interrupted.get());
	EXPECT_FALSE(other.result.get());
	otherTask();
	EXPECT_EQ(executed.load(), 0);
	EXPECT_FALSE(gate.defer_until_work_returns([] {}));
	auto idle = std::async(std::launch::async, [&] { gate.wait_idle(); });
	EXPECT_TRUE(finishes_soon(idle));
}
