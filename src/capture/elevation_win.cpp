// The integrity level of a process, read from its token.

#include "capture/elevation.h"

#include "common/win32.h"

#include <vector>

namespace clackery {
namespace {

struct Handle {
	HANDLE value = nullptr;
	~Handle()
	{
		if (value)
			CloseHandle(value);
	}
};

bool refused(DWORD error)
{
	return error == ERROR_ACCESS_DENIED;
}

IntegrityReading token_integrity(HANDLE process)
{
	IntegrityReading reading;
	Handle token;
	if (!OpenProcessToken(process, TOKEN_QUERY, &token.value)) {
		reading.denied = refused(GetLastError());
		return reading;
	}
	DWORD size = 0;
	GetTokenInformation(token.value, TokenIntegrityLevel, nullptr, 0, &size);
	if (size == 0)
		return reading;
	std::vector<unsigned char> buffer(size);
	if (!GetTokenInformation(token.value, TokenIntegrityLevel, buffer.data(), size, &size))
		return reading;
	const auto *label = reinterpret_cast<const TOKEN_MANDATORY_LABEL *>(buffer.data());
	const DWORD count = *GetSidSubAuthorityCount(label->Label.Sid);
	if (count == 0)
		return reading;
	reading.known = true;
	reading.level = *GetSidSubAuthority(label->Label.Sid, count - 1);
	return reading;
}

class SystemIntegrity : public IntegrityProbe {
public:
	IntegrityReading own_process() override { return token_integrity(GetCurrentProcess()); }

	IntegrityReading foreground_process() override
	{
		HWND window = GetForegroundWindow();
		DWORD pid = 0;
		if (!window || !GetWindowThreadProcessId(window, &pid) || pid == 0)
			return {};
		if (pid == GetCurrentProcessId())
			return own_process();
		Handle process;
		process.value = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
		if (!process.value) {
			IntegrityReading reading;
			reading.denied = refused(GetLastError());
			return reading;
		}
		return token_integrity(process.value);
	}
};

} // namespace

IntegrityProbe &system_integrity_probe()
{
	static SystemIntegrity probe;
	return probe;
}

} // namespace clackery
