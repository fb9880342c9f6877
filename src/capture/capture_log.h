#pragma once
// Capture builds without the host, so what it has to say about the system's key source goes to
// a sink that the module sets (the host's log); tests set their own. Callable from any thread.

namespace clackery {

using CaptureLogSink = void (*)(const char *line);

// Null drops the lines (the default).
void set_capture_log_sink(CaptureLogSink sink);

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void capture_warning(const char *format, ...);

} // namespace clackery
