// The process table: which processes run, which program file each runs, and ending one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zel::platform {

class ProcessTable {
public:
    virtual ~ProcessTable() = default;
    // The IDs of the running processes in the order the system lists them; false when the list
    // cannot be had.
    virtual bool ListIds(std::vector<std::uint32_t>& ids) = 0;
    // The program file that a process runs, as a path on disk; false when it cannot be known (the
    // process ended, or may not be looked at).
    virtual bool ProgramPath(std::uint32_t id, std::string& path) = 0;
    // The process that started process `id` (its parent); false when it cannot be known or there is
    // none. Used to keep the caller's own ancestors alive: a default that knows no parent would leave
    // them unprotected, so every table that can tell, tells.
    virtual bool ParentId(std::uint32_t id, std::uint32_t& parent) = 0;
    // The calling process's ID.
    virtual std::uint32_t OwnId() = 0;
    // The calling process's program file, as a path on disk; "" when it cannot be known.
    virtual std::string OwnPath() = 0;
    // Ends a process at once. False when the system refuses.
    virtual bool Terminate(std::uint32_t id) = 0;
    // Blocks the calling thread.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The processes of this machine.
ProcessTable& SystemProcessTable();

// Whether the system is of the Windows NT family, which decides the process interface on Windows:
// true exactly when the version query succeeds and names the NT platform. Elsewhere the tables
// serve what the NT family's would, so the answer is true.
bool IsWindowsNtFamily();

}  // namespace zel::platform
