#include "sysutil/platform_family.h"

#include "platform/processes.h"

// Asked once: the family cannot change while the program runs.
bool IsWindowsNT() {
    static const bool nt = zel::platform::IsWindowsNtFamily();
    return nt;
}
