#include "capture/privacy_focus_win.h"

#include "common/win32.h"

#include <oleacc.h>
#if defined(_MSC_VER)
#include <uiautomation.h>
#endif

namespace clackery {
namespace {

HWND window_of(const FocusTarget &target)
{
	return reinterpret_cast<HWND>(target.window);
}

// The control that has the keyboard focus in the window's thread (the event's own window when
// the thread says nothing).
HWND focused_control(HWND window)
{
	GUITHREADINFO info{};
	info.cbSize = sizeof(info);
	const DWORD thread = GetWindowThreadProcessId(window, nullptr);
	if (thread != 0 && GetGUIThreadInfo(thread, &info) && info.hwndFocus)
		return info.hwndFocus;
	return window;
}

// COM on the worker thread, once; the thread lives as long as the watcher.
bool com_ready()
{
	thread_local const bool ready = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
	return ready;
}

class WindowsFocusProbe : public FocusProbe {
public:
	std::optional<bool> classic_edit_password(const FocusTarget &target) override
	{
		HWND control = focused_control(window_of(target));
		wchar_t name[16] = {};
		// Class and style live in the system's own window data: no message reaches the application.
		if (!control || GetClassNameW(control, name, 16) == 0 || lstrcmpiW(name, L"Edit") != 0)
			return std::nullopt;
		return (GetWindowLongPtrW(control, GWL_STYLE) & ES_PASSWORD) != 0;
	}

	std::optional<bool> accessible_protected(const FocusTarget &target) override
	{
		if (!com_ready())
			return std::nullopt;
		IAccessible *object = nullptr;
		VARIANT child;
		VariantInit(&child);
		if (FAILED(AccessibleObjectFromEvent(window_of(target), static_cast<DWORD>(target.object_id),
						     static_cast<DWORD>(target.child_id), &object, &child)) ||
		    !object)
			return std::nullopt;
		VARIANT state;
		VariantInit(&state);
		std::optional<bool> result;
		if (SUCCEEDED(object->get_accState(child, &state)) && state.vt == VT_I4)
			result = (state.lVal & STATE_SYSTEM_PROTECTED) != 0;
		VariantClear(&state);
		VariantClear(&child);
		object->Release();
		return result;
	}

	std::optional<bool> automation_is_password(const FocusTarget &) override
	{
#if defined(_MSC_VER)
		if (!com_ready())
			return std::nullopt;
		IUIAutomation *automation = nullptr;
		if (FAILED(CoCreateInstance(__uuidof(CUIAutomation), nullptr, CLSCTX_INPROC_SERVER,
					    __uuidof(IUIAutomation), reinterpret_cast<void **>(&automation))) ||
		    !automation)
			return std::nullopt;
		std::optional<bool> result;
		IUIAutomationElement *element = nullptr;
		if (SUCCEEDED(automation->GetFocusedElement(&element)) && element) {
			BOOL password = FALSE;
			if (SUCCEEDED(element->get_CurrentIsPassword(&password)))
				result = password != FALSE;
			element->Release();
		}
		automation->Release();
		return result;
#else
		// MinGW-w64's headers lack IUIAutomation: no answer from this build.
		return std::nullopt;
#endif
	}
};

} // namespace

std::unique_ptr<FocusProbe> make_windows_focus_probe()
{
	return std::make_unique<WindowsFocusProbe>();
}

FocusTarget current_windows_focus()
{
	FocusTarget target;
	HWND foreground = GetForegroundWindow();
	if (foreground) {
		target.window = reinterpret_cast<std::uintptr_t>(focused_control(foreground));
		target.object_id = OBJID_CLIENT;
		target.child_id = CHILDID_SELF;
	}
	return target;
}

} // namespace clackery
