#include "common/log.h"

#include <cstdarg>
#include <cstdio>

namespace clackery {

void log_line(int level, const char *format, ...)
{
	char text[1024];
	va_list args;
	va_start(args, format);
	std::vsnprintf(text, sizeof(text), format, args);
	va_end(args);
	blog(level, "[clackery] %s", text);
}

} // namespace clackery
