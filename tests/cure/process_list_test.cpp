// CProcessList over a scripted process table, and ending real processes started from a copied
// program file.
#include "cure/process_list.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <map>

#include "cure/trojan_cure_module.h"
#include "platform/posix/proc_process_table.h"
#include "platform/services.h"
#include "tests/cure/cure_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using zel::platform::ProcessTable;
using zel::platform::ScopedServices;
using zel::testing::KilledBySigkill;
using zel::testing::Start;
using zel::testing::Stop;

class ScriptedTable : public ProcessTable {
public:
    bool ListIds(std::vector<std::uint32_t>& out) override {
        if (!listable) return false;
        for (const auto& [id, path] : ids) out.push_back(id);
        return true;
    }
    bool ProgramPath(std::uint32_t id, std::string& path) override {
        auto it = paths.find(id);
        if (it == paths.end()) return false;
        path = it->second;
        return true;
    }
    bool ParentId(std::uint32_t id, std::uint32_t& parent) override {
        auto it = parents.find(id);
        if (it == parents.end()) return false;
        parent = it->second;
        return true;
    }
    std::uint32_t OwnId() override { return 50; }
    std::string OwnPath() override { return "/opt/zel/zel"; }
    bool Terminate(std::uint32_t id) override {
        events.push_back("kill " + std::to_string(id));
        return true;
    }
    void Sleep(std::uint32_t ms) override { events.push_back("sleep " + std::to_string(ms)); }

    bool listable = true;
    std::vector<std::pair<std::uint32_t, std::string>> ids;
    std::map<std::uint32_t, std::string> paths;
    std::map<std::uint32_t, std::uint32_t> parents;
    std::vector<std::string> events;
};

TEST(ProcessList, CursorAndCounts) {
    ScriptedTable table;
    table.ids = {{0, ""}, {2, ""}, {50, ""}, {7, ""}};
    table.paths = {{7, "/bin/seven"}};
    ScopedServices services({.processes = &table});
    CProcessList list;
    EXPECT_EQ(list.GetCount(), -1);
    EXPECT_EQ(list.GetCurrentID(), 0xFFFFFFFFu);
    EXPECT_EQ(list.Advance(0), 0);
    ASSERT_EQ(list.Capture(), 1);
    EXPECT_EQ(list.GetCount(), 4);
    CString path;
    ASSERT_EQ(list.GetProcessPath(path), 1);
    EXPECT_EQ(path, "System Idle Process");
    EXPECT_EQ(list.Advance(0), 1);
    ASSERT_EQ(list.Advance(1), 1);
    ASSERT_EQ(list.GetProcessPath(path), 1);
    EXPECT_EQ(path, "System");
    ASSERT_EQ(list.Advance(1), 1);
    ASSERT_EQ(list.GetProcessPath(path), 1);
    EXPECT_EQ(path, "/opt/zel/zel");
    EXPECT_EQ(list.Advance(2), 0);
    EXPECT_EQ(list.GetCurrentID(), 50u);
    ASSERT_EQ(list.Advance(1), 1);
    EXPECT_EQ(list.Advance(1), 0);
    EXPECT_EQ(list.GetCurrentID(), 7u);
    EXPECT_EQ(list.Advance(-1), 0);
    table.listable = false;
    EXPECT_EQ(list.Capture(), 0);
    EXPECT_EQ(list.GetCount(), -1);
}

TEST(ProcessList, OnlyTheFilesOwnProcessesDieAndNeverTheCallersLine) {
    ScriptedTable table;
    table.ids = {{10, ""}, {11, ""}, {12, ""}, {13, ""}, {40, ""}, {50, ""}, {60, ""}};
    table.paths = {{10, "/opt/t/trojan.exe"},     {11, "/opt/t/TROJAN.EXE"}, {12, "/opt/t/../t/./trojan.exe"},
                   {13, "/opt/t/trojan.exe.bak"}, {40, "/opt/t/trojan.exe"}, {60, "/opt/t/trojan.exe"}};
    // 50 is the caller (its program is /opt/zel/zel), 40 started it, 1 started 40; 60 is a child.
    table.parents = {{50, 40}, {40, 1}, {60, 50}};
    ScopedServices services({.processes = &table});
    CTrojanCureModule::DisinfectTrojanFromMemory("/opt/t/trojan.exe");
    EXPECT_EQ(table.events,
              (std::vector<std::string>{"kill 10", "sleep 1000", "kill 12", "sleep 1000", "kill 60", "sleep 1000"}));
    table.events.clear();
    CTrojanCureModule::DisinfectTrojanFromMemory("/opt/zel/zel");
    EXPECT_TRUE(table.events.empty());
}

// The real process table, with the waits recorded instead of slept.
class RealTableNoWait : public zel::platform::ProcProcessTable {
public:
    void Sleep(std::uint32_t ms) override { waits.push_back(ms); }
    std::vector<std::uint32_t> waits;
};

TEST(ProcessList, RealProcessesOfTheCopiedFileDieAndOthersLive) {
    zel::testing::TempDir dir;
    std::string trojan = dir.File("Trojan.exe");
    std::filesystem::copy_file("/bin/sleep", trojan);
    std::filesystem::permissions(trojan, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    pid_t first = Start(trojan), second = Start(trojan), bystander = Start("/bin/sleep");
    RealTableNoWait table;
    ScopedServices services({.processes = &table});
    // The same program under another letter case is another file.
    std::string other_case = trojan.substr(0, trojan.size() - 10) + "TROJAN.EXE";
    CTrojanCureModule::DisinfectTrojanFromMemory(other_case.c_str());
    EXPECT_TRUE(table.waits.empty());
    CTrojanCureModule::DisinfectTrojanFromMemory(trojan.c_str());
    EXPECT_TRUE(KilledBySigkill(first));
    EXPECT_TRUE(KilledBySigkill(second));
    EXPECT_EQ(table.waits, (std::vector<std::uint32_t>{1000, 1000}));
    EXPECT_EQ(::waitpid(bystander, nullptr, WNOHANG), 0);  // still running
    Stop(bystander);
}

}  // namespace
