// <windows.h> as our Win32 files include it: without its rarely used parts and without the min and
// max macros (the C++ library's headers may have asked for that already).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
