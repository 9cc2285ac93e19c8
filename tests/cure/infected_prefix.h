// The end-to-end tests' world: a system root made from a fresh Wine prefix (../shared/wine-prefix/
// fresh) in a private temporary folder, infected by hand as a trojan's installer would leave it,
// with a database that knows the trojan, and the zel command run on it as a user runs it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "framework/hkey.h"
#include "tests/cure/cure_fixture.h"
#include "tests/support/temp_dir.h"

namespace zel::testing {

inline const std::filesystem::path kFresh = std::filesystem::path(ZEL_SHARED_DIR) / "wine-prefix" / "fresh";
inline const std::filesystem::path kShortcuts = std::filesystem::path(ZEL_SHARED_DIR) / "shortcuts";
inline const std::string kExeKey = "[Software\\\\Classes\\\\exefile\\\\shell\\\\open\\\\command]";
inline const std::string kOpenCommand = "@=\"\\\"%1\\\" %*\"\n";
inline const std::string kRunKey = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run]";

// Inserts `what` after the first `after` in `text`.
void Insert(std::string& text, const std::string& after, const std::string& what);

// Every file and symbolic link below `root` with its bytes (or its link target).
std::map<std::string, std::string> Snapshot(const std::filesystem::path& root);

struct ZelRun {
    int status = -1;  // the exit status; -1 when killed (by the time limit, for one)
    std::string output;
};
// Runs `program` (the zel command by default) with `words`; it is killed after `seconds`.
ZelRun RunZel(const std::vector<std::string>& words, const std::string& program = "", unsigned seconds = 120);

struct TrojanRecord {
    std::string name;
    std::string bytes;  // the sample whose windows the signature takes
    WORD flags;
    std::vector<std::pair<HKEY, std::string>> registry;
};

class InfectedPrefix : public ::testing::Test {
protected:
    void SetUp() override;

    std::filesystem::path Prefix() const { return m_dir.path() / "prefix"; }
    std::filesystem::path DriveC() const { return Prefix() / "drive_c"; }
    std::filesystem::path Windows() const { return DriveC() / "windows"; }
    std::filesystem::path Startup() const { return StartupFolderOf(DriveC()); }
    std::string Trojan() const { return (Windows() / "a.exe").string(); }
    std::string Database() const { return (m_dir.path() / "default.tdb").string(); }
    void SaveDatabase(const std::vector<TrojanRecord>& records);
    // zel scan --disinfect on the prefix with the database, then `more` words.
    ZelRun Disinfect(const std::vector<std::string>& more);

    TempDir m_dir;
    std::map<std::string, std::string> m_reg;
    std::string m_trojan_bytes;
};

}  // namespace zel::testing
