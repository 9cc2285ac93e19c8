// What the cure tests share: a system root laid out as a Wine prefix in a temporary folder, a
// database with one trojan whose signature matches a planted file, and a module that opens the
// cleaning routines to the tests.
#pragma once

#include <sys/types.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cure/trojan_cure_module.h"
#include "platform/memory_registry.h"
#include "platform/services.h"
#include "platform/wine/wine_prefix_root.h"
#include "tests/support/temp_dir.h"

namespace zel::testing {

class CureModuleForTest : public CTrojanCureModule {
public:
    using CTrojanCureModule::CTrojanCureModule;
    using CTrojanCureModule::CureAutoeraseWininit;
    using CTrojanCureModule::CureAutoexecBat;
    using CTrojanCureModule::CureRegistry;
    using CTrojanCureModule::CureStartUp;
    using CTrojanCureModule::CureSystemIni;
    using CTrojanCureModule::CureTracerRegistry;
    using CTrojanCureModule::CureWinIni;
    using CTrojanCureModule::CureWininitIni;
    using CTrojanCureModule::CureWinstartBat;
    using CTrojanCureModule::GetShortcutPath;
    // What DisinfectTrojan sets before it calls the routines.
    void SetFile(const std::string& path) {
        m_strFilePath = path;
        m_strFileName = std::filesystem::path(path).filename().string();
    }
};

// The bytes of a sample trojan: "MZ", then a pattern that gives unique windows.
inline std::string TrojanBytes(std::size_t size = 4096, unsigned seed = 7) {
    std::string bytes(size, '\0');
    unsigned state = seed;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    bytes[0] = 'M';
    bytes[1] = 'Z';
    return bytes;
}

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The file's text, or "<missing>" when there is no file: tests tell a removed file from an emptied one.
inline std::string ReadText(const std::filesystem::path& path) {
    return std::filesystem::exists(path) ? zel::testing::ReadBytes(path) : "<missing>";
}

// The per-user Start-up folder of a Wine prefix's drive_c, as Wine lays it out for user root.
inline std::filesystem::path StartupFolderOf(const std::filesystem::path& drive_c) {
    return drive_c / "users" / "root" / "AppData" / "Roaming" / "Microsoft" / "Windows" / "Start Menu" / "Programs" /
           "StartUp";
}

// Starts `program` with `arguments` and waits until it runs the program (not the copy of the test
// made by fork). Stop it with Stop.
pid_t Start(const std::string& program, const std::vector<std::string>& arguments = {"300"});
void Stop(pid_t child);
// True when `child` ended by SIGKILL within a few seconds (and is reaped).
bool KilledBySigkill(pid_t child);

// Adds a record whose one signature is three windows of `bytes`; returns its index.
int AddTrojanRecord(CTrojanBase2& base, const std::string& bytes, WORD flags, const std::string& name = "Evil");

// A Wine-prefix-shaped system root in a temporary folder, bound with an in-memory registry (or
// the prefix's own registry files) and a process table for the life of the object.
class CureWorld {
public:
    explicit CureWorld(bool wine_registry = false, platform::ProcessTable* processes = nullptr);

    std::filesystem::path Prefix() const { return m_dir.path() / "prefix"; }
    std::filesystem::path DriveC() const { return Prefix() / "drive_c"; }
    std::filesystem::path Windows() const { return DriveC() / "windows"; }
    std::filesystem::path Startup() const { return StartupFolderOf(DriveC()); }
    platform::Registry& Registry() { return m_wine ? m_root->GetRegistry() : m_memory; }
    platform::WinePrefixRoot& Root() { return *m_root; }

private:
    TempDir m_dir;
    bool m_wine;
    std::unique_ptr<platform::WinePrefixRoot> m_root;
    platform::MemoryRegistry m_memory;
    std::unique_ptr<platform::ScopedServices> m_services;
};

}  // namespace zel::testing
