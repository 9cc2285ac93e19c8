// The platform family: whether the system is of the NT family (the platform's version query). Off
// Windows, Zel's platform serves the NT-family interfaces, so the answer is true there.
#pragma once

bool IsWindowsNT();
