// The registry of a Wine prefix, read from and written to Wine's own files: HKEY_LOCAL_MACHINE
// (and with it HKEY_CLASSES_ROOT and HKEY_CURRENT_CONFIG) is system.reg, the user's key under
// HKEY_USERS (HKEY_CURRENT_USER) is user.reg, HKEY_USERS\.Default is userdef.reg. Files are
// read again when they change on disk; each write is saved at once, atomically, keeping the file's
// owner, group and mode, and only after the bytes about to be written have been read back and give
// the edited key as edited. While Wine runs on the prefix every write is refused: Wine would
// overwrite it when it exits. A hive that is not a regular file is never opened; one reached
// through a symbolic link is written at its real place only when that lies inside the prefix.
#pragma once

#include <sys/stat.h>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/registry.h"
#include "platform/wine/wine_registry_file.h"

namespace zel::platform {

class WineRegistry : public Registry {
public:
    struct Hooks {
        // The time stamp for edited keys (FILETIME); the system clock when empty.
        std::function<std::uint64_t()> now;
        // Whether Wine runs on the prefix; IsWineServerRunning when empty.
        std::function<bool()> wine_running;
    };
    explicit WineRegistry(std::string prefix, Hooks hooks = {});
    ~WineRegistry() override;

    RegistryStatus OpenKey(RegistryRoot root, const std::string& subkey) override;
    RegistryStatus CreateKey(RegistryRoot root, const std::string& subkey) override;
    RegistryStatus EnumValue(RegistryRoot root, const std::string& subkey, std::size_t index,
                             RegistryValue& value) override;
    RegistryStatus QueryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                              RegistryValue& value) override;
    RegistryStatus SetValue(RegistryRoot root, const std::string& subkey, const RegistryValue& value) override;
    RegistryStatus DeleteValue(RegistryRoot root, const std::string& subkey, const std::string& name) override;
    std::string WriteRefusal() override;
    std::string FailureReason() override { return m_failure; }

    // The files of the three hives, in the order system, user, user default.
    std::array<std::string, 3> HivePaths() const;
    // "" when every existing hive file reads as Wine's format, else the first problem.
    std::string LoadProblem();

private:
    struct Hive {
        std::string file;
        std::string relative_to;
        std::optional<WineRegistryFile> content;  // null while unread or unreadable
        std::string problem;
        struct Stamp {
            long long mtime_ns = -1, size = -1, inode = -1;
            bool operator==(const Stamp&) const = default;
        } stamp;
    };
    // A key located in a hive: hive null with `users_root` for HKEY_USERS itself.
    struct Place {
        Hive* hive = nullptr;
        std::string path;
        bool users_root = false;
    };
    static Hive::Stamp StampOf(const struct stat& info);
    bool Locate(RegistryRoot root, const std::string& subkey, Place& place);
    bool Load(Hive& hive);
    // Applies `edit` to the hive's content and saves it. The result is kept only when the saved
    // bytes read back with the key at `path` as it was edited and `holds` true of them; otherwise
    // the content and the file stay as they were, and the reason is kept.
    RegistryStatus Edit(Hive& hive, const std::string& path, const std::function<void(WineRegistryFile&)>& edit,
                        const std::function<bool(const WineRegistryFile&)>& holds);
    bool Save(Hive& hive, const std::string& bytes);
    RegistryStatus Fail(RegistryStatus status, std::string reason);
    std::uint64_t Now() const;
    // The architecture the existing hives name; win64 when none does.
    std::string PrefixArch() const;

    std::string m_prefix;
    Hooks m_hooks;
    std::array<Hive, 3> m_hives;
    std::string m_failure;
};

}  // namespace zel::platform
