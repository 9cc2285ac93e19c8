// The platform family: whether the system is of the NT family. Zel's platform serves the NT-family
// interfaces everywhere, so the answer is always true.
#pragma once

bool IsWindowsNT();
