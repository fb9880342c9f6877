#pragma once
// Whether the focused window belongs to a process of higher integrity than ours: the system then
// shows neither our hook nor our witness the keys typed into it. The question goes to a probe, so
// that tests can stand in for the system (Wine reports every process as of high integrity).

#include <cstdint>

namespace clackery {

// Mandatory integrity levels, as the system numbers them.
constexpr std::uint32_t INTEGRITY_MEDIUM = 0x2000;
constexpr std::uint32_t INTEGRITY_HIGH = 0x3000;
constexpr std::uint32_t INTEGRITY_SYSTEM = 0x4000;

struct IntegrityReading {
	bool known = false; // level holds the process's integrity level
	std::uint32_t level = 0;
	bool denied = false; // the process exists but refused to be asked: it outranks the asker
};

class IntegrityProbe {
public:
	virtual ~IntegrityProbe() = default;
	virtual IntegrityReading own_process() = 0;
	// The process of the foreground window; neither known nor denied when there is no such window.
	virtual IntegrityReading foreground_process() = 0;
};

// True when the foreground process outranks ours, or refused to say while we are below system
// level. Unknown levels of our own say nothing.
bool foreground_is_elevated(const IntegrityReading &own, const IntegrityReading &foreground);

// The probe in use: the system's, unless a test set another. Hook thread.
IntegrityProbe &integrity_probe();
// Null restores the system's probe. Only while no hook thread runs, or before posting a check.
void set_integrity_probe(IntegrityProbe *probe);

} // namespace clackery
