#include "sysutil/platform_family.h"

bool IsWindowsNT() { return true; }
