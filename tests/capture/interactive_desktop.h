#pragma once
// Keys from SendInput reach a low-level keyboard hook only on the desktop that takes the
// session's input. A service session (its window station is not interactive), a locked or
// disconnected session (the input desktop is Winlogon's, or none) or a process on another desktop
// sees none, and a hook test there would fail, or pass a test that expects nothing, by chance.

#include "common/win32.h"

#include <string>

namespace clackery {

inline std::wstring user_object_name(HANDLE object)
{
	wchar_t name[256] = {};
	DWORD needed = 0;
	if (!GetUserObjectInformationW(object, UOI_NAME, name, sizeof(name) - sizeof(wchar_t), &needed))
		return {};
	return name;
}

// Empty when this process is on the interactive desktop; otherwise why not.
inline std::string missing_interactive_desktop()
{
	USEROBJECTFLAGS flags{};
	if (!GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof(flags), nullptr))
		return "its window station cannot be read (error " + std::to_string(GetLastError()) + ")";
	if (!(flags.dwFlags & WSF_VISIBLE))
		return "its window station is not interactive (a service session)";
	HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
	if (!input)
		return "no input desktop (a locked or disconnected session; error " + std::to_string(GetLastError()) +
		       ")";
	const std::wstring input_name = user_object_name(input);
	CloseDesktop(input);
	if (input_name != user_object_name(GetThreadDesktop(GetCurrentThreadId())))
		return "the input goes to another desktop";
	return {};
}

} // namespace clackery

// In a test's SetUp or body: skips it, saying why, without an interactive desktop. CTest marks
// such a test "Skipped" by this text.
#define CLACKERY_SKIP_WITHOUT_INTERACTIVE_DESKTOP()                                                                    \
	do {                                                                                                           \
		const std::string clackery_why = ::clackery::missing_interactive_desktop();                            \
		if (!clackery_why.empty())                                                                             \
			GTEST_SKIP() << "no interactive desktop: " << clackery_why;                                    \
	} while (false)
