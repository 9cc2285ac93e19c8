// The zel subcommand groups. Each takes the words after its name and returns an exit status.
#pragma once

#include <memory>

#include "platform/system_root.h"
#include "tools/zel/cli.h"

namespace zel::cli {

int RunDb(Args args);
int RunScan(Args args);
int RunArchive(Args args);
int RunSystem(Args args);
int RunUpdate(Args args);

// The system root that disinfection works on: --system-root DIR, else $ZEL_SYSTEM_ROOT, else the
// private tree under $XDG_DATA_HOME/zel/system (~/.local/share/zel/system). A Wine prefix is never
// picked up unless it is named.
std::unique_ptr<platform::SystemRoot> TakeSystemRoot(Args& args);

}  // namespace zel::cli
