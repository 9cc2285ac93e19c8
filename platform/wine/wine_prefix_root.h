// A Wine prefix as system root: dosdevices/ maps the drive letters ("c:" -> ../drive_c, "z:" -> /),
// the Windows folder is drive_c/windows, the registry is Wine's registry files.
#pragma once

#include <map>

#include "platform/system_root.h"
#include "platform/wine/wine_registry.h"

namespace zel::platform {

class WinePrefixRoot : public SystemRoot {
public:
    // The folder is kept with its symbolic links resolved, so that the files it maps Windows paths
    // to are named as the process table names the programs that run them.
    explicit WinePrefixRoot(std::string directory, WineRegistry::Hooks hooks = {});

    std::string Kind() const override { return "wine-prefix"; }
    std::string Folder() const override { return m_directory; }
    std::string WindowsFolder() const override { return "C:\\windows"; }
    std::string ToDiskPath(const std::string& windows_path) const override;
    std::string ToWindowsPath(const std::string& disk_path) const override;
    std::string DriveFolder(const std::string& windows_path) const override;
    std::string DefaultStartupFolder() override;
    Registry& GetRegistry() override { return m_registry; }
    std::vector<std::string> RegistryFiles() const override;
    std::string InUseBy() override;
    std::string Refusal() override;
    std::string CreateSkeleton() override;

    // Drive letter (lower case) -> folder on disk, from dosdevices/ (Wine's defaults c: and z:
    // when the prefix has no dosdevices folder yet).
    std::map<char, std::string> DriveMappings() const;

private:
    std::string m_directory;
    WineRegistry m_registry;
};

}  // namespace zel::platform
