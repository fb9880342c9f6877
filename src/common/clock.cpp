#include "common/clock.h"

#include <chrono>

namespace clackery {

double wall_clock_ms()
{
	using namespace std::chrono;
	const auto since_epoch = system_clock::now().time_since_epoch();
	return static_cast<double>(duration_cast<nanoseconds>(since_epoch).count()) / 1e6;
}

std::uint64_t tick_count_ms()
{
	using namespace std::chrono;
	return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace clackery
