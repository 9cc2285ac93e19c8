// The process table of Windows, through the interface that the system's family offers: the
// process-status library ("PSAPI.DLL") on the NT family, the tool-help snapshot functions of
// "KERNEL32.DLL" on the 95/98/Me family. Both are bound at run time, so that one program starts on
// either family.
#pragma once

#include <memory>

#include "platform/processes.h"

namespace zel::platform {

enum class ProcessInterface { kProcessStatus, kToolHelp };

class Win32ProcessTable : public ProcessTable {
public:
    // The interface is normally the family's (SystemProcessTable); tests choose either.
    explicit Win32ProcessTable(ProcessInterface use);
    ~Win32ProcessTable() override;
    Win32ProcessTable(const Win32ProcessTable&) = delete;
    Win32ProcessTable& operator=(const Win32ProcessTable&) = delete;

    bool ListIds(std::vector<std::uint32_t>& ids) override;
    // The path of the program's file as the system names it (a drive path, UTF-8).
    bool ProgramPath(std::uint32_t id, std::string& path) override;
    // From a tool-help snapshot on both families (the process-status library knows no parents).
    bool ParentId(std::uint32_t id, std::uint32_t& parent) override;
    std::uint32_t OwnId() override;
    std::string OwnPath() override;
    // Ends the process with exit code 1. Refused for ID 0 and for the calling process itself.
    bool Terminate(std::uint32_t id) override;
    void Sleep(std::uint32_t milliseconds) override;

private:
    struct Entries;  // the bound entry points
    bool ProcessStatusPath(std::uint32_t id, std::string& path);
    bool ToolHelpPath(std::uint32_t id, std::string& path);

    ProcessInterface m_interface;
    std::unique_ptr<Entries> m_entries;
};

}  // namespace zel::platform
