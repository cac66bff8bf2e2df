#pragma once

// <windows.h> for the Windows side. Its A/W macros would rename the Target
// members that share the Windows calls' names, so those two are removed.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef ExpandEnvironmentStrings
#undef GetLongPathName
