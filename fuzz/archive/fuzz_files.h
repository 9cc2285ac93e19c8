// The archive fuzzers' walk over a reader, writing its outputs in the target's private folder.
#pragma once

#include "archive/qv_archive.h"
#include "fuzz/support/fuzz_folder.h"

namespace zel::fuzz {

// Lists the opened reader, then extracts every entry, up to a limit, to one output in the folder.
void WalkReader(CQVArchive& reader);

}  // namespace zel::fuzz
