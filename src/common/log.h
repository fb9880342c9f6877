#pragma once
// Every line the module writes goes through the host's log with our prefix.

#include <util/base.h>

namespace clackery {

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void log_line(int level, const char *format, ...);

} // namespace clackery
