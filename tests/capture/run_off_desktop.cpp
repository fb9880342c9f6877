// Runs a program in a window station of its own, which is never interactive, as a service
// session's programs run: run_off_desktop <program> [args...]. Its output stays this one's, and
// its exit code becomes this one's.

#include "common/win32.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// Wine is given the build folder's Unix paths: its Z: drive is the Unix root.
std::wstring windows_path(const char *path)
{
	std::wstring out;
	if (path[0] == '/')
		out = L"Z:";
	for (const char *c = path; *c; ++c)
		out += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
	return out;
}

void inherit(DWORD which)
{
	HANDLE handle = GetStdHandle(which);
	if (handle && handle != INVALID_HANDLE_VALUE)
		SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

} // namespace

int main(int argc, char **argv)
{
	if (argc < 2) {
		std::fprintf(stderr, "usage: run_off_desktop <program> [args...]\n");
		return 2;
	}
	wchar_t station_name[64];
	std::swprintf(station_name, 64, L"clackery-off-desktop-%lu", GetCurrentProcessId());
	HWINSTA station = CreateWindowStationW(station_name, 0, WINSTA_ALL_ACCESS, nullptr);
	if (!station) {
		std::fprintf(stderr, "CreateWindowStation failed: error %lu\n", GetLastError());
		return 2;
	}
	// A desktop is made in the process's current window station.
	HWINSTA own = GetProcessWindowStation();
	HDESK desktop = nullptr;
	if (SetProcessWindowStation(station)) {
		desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
		SetProcessWindowStation(own);
	}
	if (!desktop) {
		std::fprintf(stderr, "CreateDesktop failed: error %lu\n", GetLastError());
		return 2;
	}

	std::wstring command = L"\"" + windows_path(argv[1]) + L"\"";
	for (int i = 2; i < argc; ++i)
		command += L" \"" + windows_path(argv[i]) + L"\"";
	std::wstring desktop_path = std::wstring(station_name) + L"\\Default";

	std::fflush(stdout);
	inherit(STD_OUTPUT_HANDLE);
	inherit(STD_ERROR_HANDLE);
	STARTUPINFOW startup{};
	startup.cb = sizeof(startup);
	startup.lpDesktop = desktop_path.data();
	startup.dwFlags = STARTF_USESTDHANDLES;
	startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
	startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
	startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
	PROCESS_INFORMATION process{};
	if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
		std::fprintf(stderr, "CreateProcess failed: error %lu\n", GetLastError());
		return 2;
	}
	WaitForSingleObject(process.hProcess, INFINITE);
	DWORD code = 2;
	GetExitCodeProcess(process.hProcess, &code);
	CloseHandle(process.hThread);
	CloseHandle(process.hProcess);
	CloseDesktop(desktop);
	CloseWindowStation(station);
	return static_cast<int>(code);
}
