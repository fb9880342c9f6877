// A second process for the Windows privacy tests: a window with a plain edit, a password edit
// (ES_PASSWORD) and a custom control. The test moves the focus by posting WM_APP with the
// control's number; WM_APP + 1 makes the window's thread stop answering for two seconds.

#include "common/win32.h"

namespace {

HWND controls[3] = {};

LRESULT CALLBACK form_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
	if (message == WM_APP && wParam < 3) {
		SetForegroundWindow(window);
		SetFocus(controls[wParam]);
		return 0;
	}
	if (message == WM_APP + 1) {
		SetFocus(controls[2]);
		Sleep(2000);
		return 0;
	}
	if (message == WM_DESTROY) {
		PostQuitMessage(0);
		return 0;
	}
	return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int main()
{
	HINSTANCE instance = GetModuleHandleW(nullptr);
	WNDCLASSW form{};
	form.lpfnWndProc = form_proc;
	form.hInstance = instance;
	form.lpszClassName = L"ClackeryPrivacyForm";
	WNDCLASSW custom{};
	custom.lpfnWndProc = DefWindowProcW;
	custom.hInstance = instance;
	custom.lpszClassName = L"ClackeryCustomField";
	if (!RegisterClassW(&form) || !RegisterClassW(&custom))
		return 1;
	HWND window = CreateWindowExW(0, form.lpszClassName, L"Sign in", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
				      200, nullptr, nullptr, instance, nullptr);
	const DWORD child = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
	controls[0] = CreateWindowExW(0, L"EDIT", L"", child | ES_AUTOHSCROLL, 10, 10, 200, 20, window, nullptr,
				      instance, nullptr);
	controls[1] = CreateWindowExW(0, L"EDIT", L"", child | ES_AUTOHSCROLL | ES_PASSWORD, 10, 40, 200, 20, window,
				      nullptr, instance, nullptr);
	controls[2] =
	    CreateWindowExW(0, custom.lpszClassName, L"", child, 10, 70, 200, 20, window, nullptr, instance, nullptr);
	if (!window || !controls[0] || !controls[1] || !controls[2])
		return 1;
	MSG message;
	while (GetMessageW(&message, nullptr, 0, 0) > 0) {
		TranslateMessage(&message);
		DispatchMessageW(&message);
	}
	return 0;
}
