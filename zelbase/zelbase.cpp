// Start-up of the Zelbase library. The platform-family flag and the process interface binding
// are settled lazily by their owners on first use; nothing needs to run at load time.
#include "zelbase/zelbase_export.h"
