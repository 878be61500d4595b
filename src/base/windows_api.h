#pragma once

// <windows.h> the one way every Win32 file takes it: without the rarely
// used parts, and without the min and max macros that break <algorithm>.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX  // the C++ library may have defined it
#define NOMINMAX
#endif
#include <windows.h>
