// A private temporary folder removed with everything in it at the end of the test.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "tests/support/file_bytes.h"

namespace zel::testing {

class TempDir {
public:
    // Throws std::runtime_error when no folder can be made.
    TempDir() {
        namespace fs = std::filesystem;
        const fs::path base = fs::temp_directory_path();
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path candidate = base / ("zel-test-" + std::to_string(random()));
            std::error_code error;
            // A name that exists already (whatever it is) is never used: only a folder we made is ours.
            if (fs::create_directory(candidate, error)) {
                fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
                m_path = candidate;
                return;
            }
            if (error && error != std::errc::file_exists) break;
        }
        throw std::runtime_error("cannot make a temporary folder under " + base.string());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The path of `name` inside the folder, as a narrow string.
    // Names are UTF-8, as everywhere in our code (a narrow path's own conversion on Windows would take
    // the ANSI code page).
    std::string File(const std::string& name) const { return Utf8String(m_path / Utf8Path(name)); }
    std::string operator/(const std::string& name) const { return File(name); }

private:
    std::filesystem::path m_path;
};

}  // namespace zel::testing
