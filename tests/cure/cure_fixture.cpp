#include "tests/cure/cure_fixture.h"

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace zel::testing {
namespace {

namespace fs = std::filesystem;

// A process table with no processes, for tests that do not look at processes.
class NoProcesses : public platform::ProcessTable {
public:
    bool ListIds(std::vector<std::uint32_t>& ids) override {
        ids.clear();
        return true;
    }
    bool ProgramPath(std::uint32_t, std::string&) override { return false; }
    bool ParentId(std::uint32_t, std::uint32_t&) override { return false; }
    std::uint32_t OwnId() override { return 1; }
    std::string OwnPath() override { return "/nowhere/zel"; }
    bool Terminate(std::uint32_t) override { return false; }
    void Sleep(std::uint32_t) override {}
};

NoProcesses g_no_processes;

}  // namespace

pid_t Start(const std::string& program, const std::vector<std::string>& arguments) {
    pid_t child = ::fork();
    if (child == 0) {
        std::vector<std::string> words = arguments;
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (auto& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    std::string real = fs::canonical(program).string();
    for (int i = 0; i < 200; ++i) {
        std::error_code error;
        if (fs::read_symlink("/proc/" + std::to_string(child) + "/exe", error) == real) break;
        ::usleep(10000);
    }
    return child;
}

void Stop(pid_t child) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

bool KilledBySigkill(pid_t child) {
    int status = 0;
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(child, &status, WNOHANG) == child) return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        ::usleep(10000);
    }
    return false;
}

int AddTrojanRecord(CTrojanBase2& base, const std::string& bytes, WORD flags, const std::string& name) {
    int index = base.Add("Backdoor", name, "1.0", flags);
    base.AddImage(index, "sample-" + name);
    CSignature& signature = base.GetTrojan(index)->GetSignature(0);
    const DWORD offsets[] = {1100, 1500, 2000};
    for (int slot = 0; slot < 3; ++slot) {
        signature.SetWindow(slot, reinterpret_cast<const BYTE*>(bytes.data()) + offsets[slot], offsets[slot]);
    }
    return index;
}

CureWorld::CureWorld(bool wine_registry, platform::ProcessTable* processes) : m_wine(wine_registry) {
    fs::create_directories(Windows());
    fs::create_directories(Startup());
    fs::create_directories(Prefix() / "dosdevices");
    fs::create_directory_symlink("../drive_c", Prefix() / "dosdevices" / "c:");
    fs::create_directory_symlink("/", Prefix() / "dosdevices" / "z:");
    if (m_wine) {
        fs::path fresh = fs::path(ZEL_SHARED_DIR) / "wine-prefix" / "fresh";
        for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
            fs::copy_file(fresh / name, Prefix() / name);
            fs::permissions(Prefix() / name, fs::perms::owner_write, fs::perm_options::add);
        }
    }
    platform::WineRegistry::Hooks hooks;
    hooks.now = [] { return 0x1dd860c071a037eull; };
    hooks.wine_running = [] { return false; };
    m_root = std::make_unique<platform::WinePrefixRoot>(Prefix().string(), hooks);
    platform::Services services;
    services.system_root = m_root.get();
    if (!m_wine) services.registry = &m_memory;
    services.processes = processes ? processes : &g_no_processes;
    m_services = std::make_unique<platform::ScopedServices>(services);
}

}  // namespace zel::testing
