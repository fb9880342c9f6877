#pragma once
// Windows' answers to the focus questions: the window's class and style (GetGUIThreadInfo,
// GetClassNameW), MSAA's STATE_SYSTEM_PROTECTED (AccessibleObjectFromEvent) and UI
// Automation's IsPassword where the compiler's headers describe it (MinGW's lack it).

#include "capture/privacy_focus.h"
#include "capture/privacy_watch.h"

namespace clackery {

std::unique_ptr<FocusProbe> make_windows_focus_probe();

// The focus of the foreground window's thread, for the first look before any event arrives.
FocusTarget current_windows_focus();

// The watcher with another probe (tests: a stand-in for UI Automation, which MinGW and Wine lack).
std::unique_ptr<PrivacyWatch> start_privacy_watch_with(std::unique_ptr<FocusProbe> probe);

} // namespace clackery
