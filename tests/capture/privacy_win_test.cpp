// The privacy watcher on Windows against a second process's window: focus events across
// processes, ES_PASSWORD on a classic edit, and a window whose thread stops answering. Wine has
// no UI Automation (not registered) and MinGW's headers lack it: that road is taken here by a
// stand-in probe, and the real build's answer for it is "cannot tell".

#include "capture/privacy_focus_win.h"

#include "common/win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace clackery {
namespace {

using namespace std::chrono_literals;

template <typename Predicate> bool eventually(Predicate predicate, std::chrono::milliseconds limit = 5000ms)
{
	const auto end = std::chrono::steady_clock::now() + limit;
	while (std::chrono::steady_clock::now() < end) {
		if (predicate())
			return true;
		std::this_thread::sleep_for(5ms);
	}
	return predicate();
}

class SecondProcess {
public:
	bool start()
	{
		STARTUPINFOW startup{};
		startup.cb = sizeof(startup);
		wchar_t command[] = L"privacy_form_win.exe";
		if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
				    &process_))
			return false;
		return eventually(
		    [this] { return (window_ = FindWindowW(L"ClackeryPrivacyForm", nullptr)) != nullptr; });
	}
	~SecondProcess()
	{
		if (process_.hProcess) {
			TerminateProcess(process_.hProcess, 0);
			WaitForSingleObject(process_.hProcess, 5000);
			CloseHandle(process_.hProcess);
			CloseHandle(process_.hThread);
		}
	}
	void focus(int control) { PostMessageW(window_, WM_APP, static_cast<WPARAM>(control), 0); }
	void hang() { PostMessageW(window_, WM_APP + 1, 0, 0); }

private:
	PROCESS_INFORMATION process_{};
	HWND window_ = nullptr;
};

enum Control { plain_edit = 0, password_edit = 1, custom_field = 2 };

// Moves the focus and waits until the watcher has judged it.
bool focus_and_judge(SecondProcess &form, const PrivacyWatch &watch, int control)
{
	const std::uint32_t before = read_privacy(watch.flags()).focus_serial;
	form.focus(control);
	return eventually([&] { return read_privacy(watch.flags()).focus_serial > before; });
}

TEST(PrivacyWatchWindows, FocusEventsOfAnotherProcessTellItsPasswordEdit)
{
	const auto watch = start_privacy_watch();
	ASSERT_EQ(read_privacy(watch->flags()).detector, PrivacyDetector::winevent);
	SecondProcess form;
	ASSERT_TRUE(form.start());
	const std::pair<int, bool> steps[] = {
	    {password_edit, true}, {plain_edit, false}, {password_edit, true}, {custom_field, false}};
	for (const auto &[control, password] : steps) {
		ASSERT_TRUE(focus_and_judge(form, *watch, control)) << control;
		// Several events may come for one change (the window, then the control): the last counts.
		EXPECT_TRUE(eventually([&] { return read_privacy(watch->flags()).password_field == password; }))
		    << control;
	}
}

// UI Automation as a probe would answer it for an application that only it describes.
class StandInAutomation : public FocusProbe {
public:
	StandInAutomation() : real_(make_windows_focus_probe()) {}
	std::optional<bool> classic_edit_password(const FocusTarget &target) override
	{
		return real_->classic_edit_password(target);
	}
	std::optional<bool> accessible_protected(const FocusTarget &target) override
	{
		return real_->accessible_protected(target);
	}
	std::optional<bool> automation_is_password(const FocusTarget &target) override
	{
		wchar_t name[32] = {};
		GetClassNameW(reinterpret_cast<HWND>(target.window), name, 32);
		return lstrcmpW(name, L"ClackeryCustomField") == 0;
	}

private:
	std::unique_ptr<FocusProbe> real_;
};

TEST(PrivacyWatchWindows, WhatOnlyUiAutomationMarksCountsAndThisBuildSaysItCannotTell)
{
	EXPECT_EQ(make_windows_focus_probe()->automation_is_password({}), std::nullopt);
	const auto watch = start_privacy_watch_with(std::make_unique<StandInAutomation>());
	SecondProcess form;
	ASSERT_TRUE(form.start());
	ASSERT_TRUE(focus_and_judge(form, *watch, custom_field));
	EXPECT_TRUE(eventually([&] { return read_privacy(watch->flags()).password_field; }));
	ASSERT_TRUE(focus_and_judge(form, *watch, plain_edit));
	EXPECT_TRUE(eventually([&] { return !read_privacy(watch->flags()).password_field; }));
}

TEST(PrivacyWatchWindows, AWindowThatStopsAnsweringCostsOneTimeLimit)
{
	const auto watch = start_privacy_watch();
	SecondProcess form;
	ASSERT_TRUE(form.start());
	ASSERT_TRUE(focus_and_judge(form, *watch, password_edit));
	const std::uint32_t before = read_privacy(watch->flags()).focus_serial;
	const auto start = std::chrono::steady_clock::now();
	form.hang();
	ASSERT_TRUE(eventually([&] { return read_privacy(watch->flags()).focus_serial > before; }));
	EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms) << "judged before the window answers again";
	EXPECT_TRUE(eventually([&] { return !read_privacy(watch->flags()).password_field; }));
	// Ending the watcher does not wait for the window either.
}

} // namespace
} // namespace clackery
