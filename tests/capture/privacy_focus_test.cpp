// Judging a newly focused control from a fake of the platform's questions: which answer wins,
// and what a question that hangs costs. The fake stands in for UI Automation too, which MinGW's
// headers and Wine both lack.

#include "capture/privacy_focus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace clackery {
namespace {

using namespace std::chrono_literals;
using Answer = std::optional<bool>;

constexpr auto kLimit = 100ms;

struct FakeProbe : FocusProbe {
	Answer classic, accessible, automation;
	std::atomic<int> accessible_delay_ms{0}; // changed while a question hangs
	std::atomic<int> asked_accessible{0}, asked_automation{0};

	Answer classic_edit_password(const FocusTarget &) override { return classic; }
	Answer accessible_protected(const FocusTarget &) override
	{
		++asked_accessible;
		std::this_thread::sleep_for(std::chrono::milliseconds(accessible_delay_ms.load()));
		return accessible;
	}
	Answer automation_is_password(const FocusTarget &) override
	{
		++asked_automation;
		return automation;
	}
};

TEST(JudgeFocus, TheCheapTestDecidesAClassicEditAndTheOthersTheRest)
{
	const Answer none;
	struct Case {
		Answer classic, accessible, automation;
		bool password;
		int accessible_asked, automation_asked;
	};
	const Case cases[] = {
	    // A classic edit's own style is the whole answer: its application is never asked.
	    {true, false, false, true, 0, 0},
	    {false, true, true, false, 0, 0},
	    // Browsers mark their password inputs as protected text.
	    {none, true, none, true, 1, 0},
	    // "Not protected" may be the system's stand-in for an object only UI Automation describes.
	    {none, false, true, true, 1, 1},
	    {none, none, true, true, 1, 1},
	    {none, false, false, false, 1, 1},
	    // Nobody can tell: not a password field.
	    {none, none, none, false, 1, 1},
	};
	for (const Case &c : cases) {
		FakeProbe probe;
		probe.classic = c.classic;
		probe.accessible = c.accessible;
		probe.automation = c.automation;
		QueryWorker worker;
		EXPECT_EQ(judge_focus(probe, worker, {}, kLimit), c.password);
		EXPECT_EQ(probe.asked_accessible.load(), c.accessible_asked);
		EXPECT_EQ(probe.asked_automation.load(), c.automation_asked);
	}
}

TEST(JudgeFocus, AnApplicationThatHangsCostsOneLimitAndBlocksNothingElse)
{
	FakeProbe probe;
	probe.accessible = true;
	probe.automation = true;
	probe.accessible_delay_ms = 600;
	QueryWorker worker;

	auto start = std::chrono::steady_clock::now();
	// The hung question gets no answer in time; the worker is still in it, so UI Automation is
	// not asked: no second thread gets stuck.
	EXPECT_FALSE(judge_focus(probe, worker, {}, kLimit));
	auto took = std::chrono::steady_clock::now() - start;
	EXPECT_GE(took, kLimit);
	EXPECT_LT(took, kLimit + 300ms);
	EXPECT_EQ(probe.asked_automation.load(), 0);

	// While it hangs, a classic edit is still judged at once.
	probe.classic = true;
	start = std::chrono::steady_clock::now();
	EXPECT_TRUE(judge_focus(probe, worker, {}, kLimit));
	EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);

	// Once the application answers again, so does the worker.
	probe.classic.reset();
	probe.accessible_delay_ms = 0;
	std::this_thread::sleep_for(600ms);
	EXPECT_TRUE(judge_focus(probe, worker, {}, kLimit));
}

TEST(QueryWorker, AQuestionThatNeverReturnsDoesNotHoldUpItsOwnersEnd)
{
	std::atomic<bool> release{false};
	const auto start = std::chrono::steady_clock::now();
	{
		QueryWorker worker;
		EXPECT_EQ(worker.ask(
			      [&release] {
				      while (!release)
					      std::this_thread::sleep_for(5ms);
				      return Answer(true);
			      },
			      kLimit),
			  Answer());
		EXPECT_EQ(worker.ask([] { return Answer(false); }, kLimit), Answer()) << "busy: no answer";
	}
	EXPECT_LT(std::chrono::steady_clock::now() - start, kLimit * 2 + 200ms);
	// The detached thread finishes its question and ends on its own.
	release = true;
	std::this_thread::sleep_for(50ms);
}

} // namespace
} // namespace clackery
