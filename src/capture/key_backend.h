#pragma once
// A system-wide key source for platforms without a low-level hook (POSIX): the hook thread polls
// its file descriptor beside its own queue and lets it push what has arrived.

#include <cstdint>
#include <memory>

namespace clackery {

struct KeyRing;

class KeyBackend {
public:
	virtual ~KeyBackend() = default;
	// Readable when key transitions wait.
	virtual int fd() const = 0;
	// On the hook thread: reads what waits and hands each transition to record_captured_key.
	// False when the source is lost, with a Windows-style error code in `error`.
	virtual bool dispatch(KeyRing &ring, std::uint32_t &error) = 0;
	// On the hook thread: starts or stops delivering mouse buttons and wheel notches beside the
	// keys. False when the source cannot (it then delivers none).
	virtual bool set_mouse(bool on) { return !on; }
};

using KeyBackendFactory = std::unique_ptr<KeyBackend> (*)(std::uint32_t &error);

// Opens the platform's key source on the hook thread (X11 on Linux); empty with `error` set when
// there is none (ERROR_CODE_NOT_SUPPORTED on a platform without a backend).
std::unique_ptr<KeyBackend> open_key_backend(std::uint32_t &error);

// Replaces the factory behind open_key_backend (tests); null restores the platform's own.
void set_key_backend_factory(KeyBackendFactory factory);

} // namespace clackery
