// The process table of Linux, read from /proc (or a folder laid out like it, for tests).
// A process that runs a Windows program under Wine on the Wine prefix that is the current system
// root counts as running that program's file: its command line names the program by its Windows
// path, which the prefix's drive mappings turn into a file on disk.
#pragma once

#include "platform/processes.h"

namespace zel::platform {

class ProcProcessTable : public ProcessTable {
public:
    explicit ProcProcessTable(std::string proc_root = "/proc");

    bool ListIds(std::vector<std::uint32_t>& ids) override;
    bool ProgramPath(std::uint32_t id, std::string& path) override;
    bool ParentId(std::uint32_t id, std::uint32_t& parent) override;
    std::uint32_t OwnId() override;
    std::string OwnPath() override;
    bool Terminate(std::uint32_t id) override;
    void Sleep(std::uint32_t milliseconds) override;

private:
    // The program file of a Wine process, or "" when the process is not one on the current root.
    std::string WineProgramPath(const std::string& folder);

    std::string m_root;
};

}  // namespace zel::platform
