#pragma once
// Capture's health as the state and the dock report it: whether keys are being captured, why not,
// how often the system hook had to be put back, how long ago the last key came, and whether the
// focused window's keys are hidden from us. Any thread.

#include "capture/ring.h"

#include <cstdint>
#include <optional>

namespace clackery {

enum class CaptureStatus { active, paused, failed };

struct CaptureHealth {
	CaptureStatus status = CaptureStatus::active;
	std::uint32_t error = 0;               // Windows-style code; 0 when nothing is wrong
	std::uint64_t reinstalls = 0;          // hooks put back since load
	std::optional<double> last_key_age_ms; // none before the first key
	bool elevated_foreground = false;      // keys typed into the focused window cannot be seen
	std::uint32_t away = 0;                // AWAY_ bits: the session or the machine is away
};

// Failed when the capture thread does not run or its hook is gone for good (error: why); paused
// while the session is away or capture is closed; else active. The error of an active capture is
// that of the key-state probe (the display's key state unreachable), 0 when it answers.
CaptureHealth read_capture_health(const KeyRing &ring, double now_ms);

// "active", "paused" or "failed".
const char *capture_status_name(CaptureStatus status);

// The count of absences begun so far (lock, user switch, sleep). The consumer loads it before it
// drains the ring and releases every held key when it has moved: the records of before the
// absence are then all in its hands.
std::uint64_t capture_absences(const KeyRing &ring);
bool capture_away(const KeyRing &ring);

} // namespace clackery
