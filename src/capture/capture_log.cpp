#include "capture/capture_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace clackery {
namespace {

std::atomic<CaptureLogSink> sink{nullptr};

} // namespace

void set_capture_log_sink(CaptureLogSink new_sink)
{
	sink.store(new_sink, std::memory_order_release);
}

void capture_warning(const char *format, ...)
{
	const CaptureLogSink current = sink.load(std::memory_order_acquire);
	if (!current)
		return;
	char line[512];
	va_list args;
	va_start(args, format);
	std::vsnprintf(line, sizeof(line), format, args);
	va_end(args);
	current(line);
}

} // namespace clackery
