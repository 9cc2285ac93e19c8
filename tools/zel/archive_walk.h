// What zel does with archives: turning entry names into safe paths below a folder, and walking
// an archive's extraction pass entry by entry.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "archive/qv_archive.h"

namespace zel::cli {

// The path below the extraction folder for an entry name ("\" or "/" separators): the name's
// components joined by "/", without "." and empty components, with a trailing "/" for a folder
// entry. nullopt when the name is absolute, has a drive letter, a ".." component or a NUL byte,
// or names nothing: such an entry would land outside the folder.
std::optional<std::string> SafeRelativePath(const std::string& entry_name);

// True when no existing component of `relative` below `folder` is a symbolic link (one could
// lead the write outside the folder).
bool StaysInside(const std::string& folder, const std::string& relative);

// The entry name with "/" separators, as zel shows it.
std::string DisplayEntryName(const std::string& entry_name);

// One step of an extraction pass.
struct EntryOutcome {
    std::string name;           // as the archive gives it
    std::string destination;    // where it was to be written; "" when it was passed over
    bool failed = false;        // the back-end reported a failure for this entry
    bool truncated = false;     // written only up to the reader's extraction limit
    std::uint64_t decoded = 0;  // what the reader decoded for it (see GetExtractDecodedBytes)
};

// Runs the extraction pass of an opened reader. For each entry `destination_for(name)` gives the
// destination path (a folder ending in "/"), or nullopt to pass over the entry; `on_entry` is
// then told the outcome, once the reader has moved past the entry (a back-end may still be writing
// it until then). An entry that fails is reported and the pass goes on with the next one.
// Returns false, with a message in `error`, when the pass itself cannot go on (a damaged header).
bool WalkExtraction(CQVArchive& reader,
                    const std::function<std::optional<std::string>(const std::string&)>& destination_for,
                    const std::function<void(const EntryOutcome&)>& on_entry, std::string& error);

}  // namespace zel::cli
