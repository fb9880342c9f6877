#include "capture/wake_signal.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace clackery {

bool open_wake_signal(WakeSignal &signal)
{
	signal.fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
	return signal.fd >= 0;
}

void close_wake_signal(WakeSignal &signal)
{
	if (signal.fd >= 0)
		close(signal.fd);
	signal.fd = -1;
}

void raise_wake_signal(void *context)
{
	const int fd = static_cast<WakeSignal *>(context)->fd;
	const std::uint64_t one = 1;
	// Non-blocking: a counter that is somehow full is already readable, which is all we need.
	while (write(fd, &one, sizeof(one)) < 0 && errno == EINTR) {
	}
}

void clear_wake_signal(WakeSignal &signal)
{
	std::uint64_t count = 0;
	while (read(signal.fd, &count, sizeof(count)) < 0 && errno == EINTR) {
	}
}

} // namespace clackery
