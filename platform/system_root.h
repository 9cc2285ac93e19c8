// The system root: the Windows installation on disk that disinfection works on. Its kind decides
// how Windows paths reach the disk and where the registry lives; the cure code sees only this
// interface. On POSIX systems it is a Wine prefix (platform/wine/wine_prefix_root.h; a mounted
// Windows partition would be a second kind); on Windows it is the running machine itself.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace zel::platform {

class SystemRoot {
public:
    virtual ~SystemRoot() = default;

    // What the root is, e.g. "wine-prefix".
    virtual std::string Kind() const = 0;
    // The root's folder on disk.
    virtual std::string Folder() const = 0;
    // The Windows folder as a Windows path, e.g. "C:\windows".
    virtual std::string WindowsFolder() const = 0;
    // The file on disk that a Windows path names, resolved as Windows resolves it: through the
    // drive mappings, each level matched without regard to letter case. Levels that do not exist
    // keep the spelling given. "" when the path has no drive letter or no drive maps it.
    virtual std::string ToDiskPath(const std::string& windows_path) const = 0;
    // The folder on disk (without symbolic links) of the drive a Windows path names; "" when the path
    // names no drive that is mapped. Files reached through a drive may lie outside the root's folder
    // (Wine's z: is "/"): a drive's folder counts as part of the root for what is reached through it.
    virtual std::string DriveFolder(const std::string& windows_path) const = 0;
    // The Windows path of a file on disk (the drive mappings read backwards, e.g. "C:\windows\a.exe");
    // "" when no drive reaches it.
    virtual std::string ToWindowsPath(const std::string& disk_path) const = 0;
    // The per-user Start-up folder as a Windows path when the registry does not name it.
    virtual std::string DefaultStartupFolder() = 0;
    // The registry of the installation.
    virtual Registry& GetRegistry() = 0;
    // Where the registry is kept on disk.
    virtual std::vector<std::string> RegistryFiles() const = 0;
    // "" when the installation is not in use; else who uses it (a running Wine).
    virtual std::string InUseBy() = 0;
    // Why disinfection must not work on this root now ("" when it may; a root that does not exist
    // yet may be made): a folder that holds something else, or a program that owns the registry.
    virtual std::string Refusal() = 0;
    // Creates the folders a fresh root needs (the Windows folder, the drive mappings) in a folder
    // that is missing or empty, or completes them in one that already is such a root. "" on
    // success, else why not: a root that Refusal refuses is never touched.
    virtual std::string CreateSkeleton() = 0;
};

// The root folder to use when none is named: $ZEL_SYSTEM_ROOT, else $XDG_DATA_HOME/zel/system,
// else ~/.local/share/zel/system. On Windows: $ZEL_SYSTEM_ROOT, else "" (the running machine).
std::string DefaultSystemRootFolder();

// The system root that a folder holds: a Wine prefix on POSIX systems. On Windows "" gives the
// running machine (kind "running-machine"); any folder gives the running machine with every change
// refused and Refusal saying why.
std::unique_ptr<SystemRoot> OpenSystemRoot(const std::string& folder);

}  // namespace zel::platform
