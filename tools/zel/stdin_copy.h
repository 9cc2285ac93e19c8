// Standard input as `zel scan -` reads it: copied into a private temporary folder, so that it is
// scanned like a file and looked into like an archive (the archive readers want a file). Input may
// never end (`zel scan - < /dev/zero`): the copy stops at a cap and says whether input went on.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace zel::cli {

class StdinCopy {
public:
    // Copies at most `cap` bytes of standard input. Throws Failure when no copy can be made or
    // standard input cannot be read.
    explicit StdinCopy(std::uint64_t cap);

    const std::string& path() const { return m_path; }
    // Whether standard input went on past the cap.
    bool cut() const { return m_cut; }

private:
    platform::TempFolder m_folder;
    std::string m_path;
    bool m_cut = false;
};

}  // namespace zel::cli
