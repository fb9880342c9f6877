#pragma once
// What must not reach the stream: whether the focused control is a password field and whether
// the screen is locked, watched on a thread of its own (the desktop's accessibility bus and
// screen locker on Linux, window events and accessibility on Windows). The tick only reads the
// flags: every question to another program, each with a time limit, stays on the watcher.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace clackery {

enum class PrivacyDetector : std::uint8_t {
	starting, // the watcher has not yet looked
	none,     // nothing tells this platform's focus (no accessibility bus)
	atspi,    // X11: focus events of the accessibility bus
	winevent, // Windows: focus window events and the focused object's accessibility state
};

// One focus change as the watcher judged it, stamped when it learnt of it (the capture clock:
// milliseconds since 1970, as key records are), so that keys are judged by the focus of their
// own moment, not of the moment the tick gets to them.
struct FocusChange {
	double t = 0;
	bool password = false;
	bool known = false; // some object holds the focus (false after a loss)
};

// The latest focus changes, oldest first. The watcher appends, the tick copies when the serial
// has moved: the lock is taken once per focus change, never per key.
struct FocusHistory {
	static constexpr std::size_t kKept = 32;
	mutable std::mutex mutex;
	std::array<FocusChange, kKept> changes{}; // a ring, guarded by mutex
	std::size_t count = 0;                    // changes ever recorded, guarded by mutex
};

// Written by the watcher, read by the tick (and tests) from any thread.
struct PrivacyFlags {
	FocusHistory history;
	std::atomic<bool> password_field{false};
	// Some object holds the focus as far as the watcher knows (false after a focus loss that no
	// gain has followed yet, or when the focused application left).
	std::atomic<bool> focus_known{false};
	std::atomic<bool> screen_locked{false};
	// Written last by the watcher, read first by the tick: the fields above are at least as new.
	// Grows once for every focus change the watcher has judged, password field or not, so that
	// keys held back after a key that may move the focus learn when the focus has settled.
	std::atomic<std::uint32_t> focus_serial{0};
	std::atomic<PrivacyDetector> detector{PrivacyDetector::starting};
};

struct PrivacySnapshot {
	bool password_field = false;
	bool focus_known = false;
	bool screen_locked = false;
	std::uint32_t focus_serial = 0;
	PrivacyDetector detector = PrivacyDetector::starting;
};

PrivacySnapshot read_privacy(const PrivacyFlags &flags);

// Watcher: records a judged focus change (the flags, the history, then the serial).
void record_focus_change(PrivacyFlags &flags, bool password, bool known, double t);
// The kept focus changes, oldest first.
std::vector<FocusChange> read_focus_history(const PrivacyFlags &flags);

// The detector's name for the state and the log: "starting", "none", "atspi", "winevent".
const char *privacy_detector_name(PrivacyDetector detector);

// The watcher thread and its platform's connections. Made and ended on the UI thread.
class PrivacyWatch {
public:
	virtual ~PrivacyWatch() = default;
	virtual const PrivacyFlags &flags() const = 0;
	// Keys are arriving while the screen counts as locked: ask the lockers again (the watcher
	// limits how often). Any thread, never blocks.
	virtual void recheck_lock() = 0;
	// The streamer has said they are back (the pause hotkey): the lock is forgotten until a
	// locker reports it again. Any thread, never blocks.
	virtual void forget_lock() = 0;
};

// Starts the platform's watcher; never fails (without a way to watch, the detector is "none",
// said once in the log). Stopping it is destroying it: the thread is ended and joined.
std::unique_ptr<PrivacyWatch> start_privacy_watch();

} // namespace clackery
