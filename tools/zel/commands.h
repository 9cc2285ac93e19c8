// The zel subcommand groups. Each takes the words after its name and returns an exit status.
#pragma once

#include "tools/zel/cli.h"

namespace zel::cli {

int RunDb(Args args);
int RunScan(Args args);
int RunArchive(Args args);

}  // namespace zel::cli
