#pragma once
// Whether the control that just took the focus is a password field, judged from the questions a
// platform can ask about it (Windows: the window's class and style, MSAA, UI Automation), each
// question that reaches another program asked with a time limit on a worker of ours.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace clackery {

// The object that a focus event names (on Windows: the window, object id and child id).
struct FocusTarget {
	std::uintptr_t window = 0;
	std::int32_t object_id = 0;
	std::int32_t child_id = 0;
};

// The platform's questions; a fake in tests. None means "cannot tell".
class FocusProbe {
public:
	virtual ~FocusProbe() = default;
	// From what the system itself keeps about the window (its class and style), without asking
	// its application: true or false for a classic edit control, none for anything else.
	virtual std::optional<bool> classic_edit_password(const FocusTarget &target) = 0;
	// The focused object's accessibility state (protected text) as its application reports it.
	// May block as long as the application does.
	virtual std::optional<bool> accessible_protected(const FocusTarget &target) = 0;
	// The focused element's "is password" property for applications that only UI Automation
	// describes. May block as long as the application does.
	virtual std::optional<bool> automation_is_password(const FocusTarget &target) = 0;
};

// One thread of ours that runs blocking questions, so that the caller waits no longer than a
// limit. A question that never returns keeps the worker busy: later ones get no answer until it
// does, and at most one thread is ever stuck.
class QueryWorker {
public:
	QueryWorker();
	~QueryWorker();
	QueryWorker(const QueryWorker &) = delete;
	QueryWorker &operator=(const QueryWorker &) = delete;

	// The answer of `query` if it came within `limit`; none when it did not, or while an earlier
	// question is still running.
	std::optional<bool> ask(std::function<std::optional<bool>()> query, std::chrono::milliseconds limit);

	struct Shared; // with the thread, which may outlive this object while a question hangs

private:
	std::shared_ptr<Shared> shared_;
	std::thread thread_;
};

// The cheap test first (a classic edit knows its own style), then the accessibility state, then
// UI Automation for what the accessibility state does not mark. No answer: not a password.
// The probe must outlive the worker's questions (a stateless probe does).
bool judge_focus(FocusProbe &probe, QueryWorker &worker, const FocusTarget &target, std::chrono::milliseconds limit);

} // namespace clackery
