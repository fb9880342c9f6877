// <windows.h> the one way every file of ours takes it: without the min/max macros that break
// std::min, and without the rarely used parts that slow every build.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
