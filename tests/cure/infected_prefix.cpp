#include "tests/cure/infected_prefix.h"

#include <sys/wait.h>
#include <unistd.h>

#include "database/trojan_base2.h"

namespace zel::testing {

namespace fs = std::filesystem;

void Insert(std::string& text, const std::string& after, const std::string& what) {
    auto at = text.find(after);
    ASSERT_NE(at, std::string::npos) << after;
    text.insert(at + after.size(), what);
}

// Every file and symbolic link below `root` with its bytes (or its link target).
std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        std::string name = fs::relative(it->path(), root).string();
        if (it->is_symlink()) {
            entries[name] = "-> " + fs::read_symlink(it->path()).string();
            it.disable_recursion_pending();
        } else if (it->is_regular_file()) {
            entries[name] = ReadText(it->path());
        }
    }
    return entries;
}

ZelRun RunZel(const std::vector<std::string>& words, const std::string& program, unsigned seconds) {
    std::string zel = program.empty() ? std::string(ZEL_BINARY_DIR) + "/zel" : program;
    int out[2];
    if (::pipe(out) != 0) return {};
    pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        // A command that hangs fails the test instead of stopping it.
        ::alarm(seconds);
        std::vector<std::string> copy = words;
        std::vector<char*> argv{zel.data()};
        for (auto& word : copy) argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(zel.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ZelRun run;
    char buffer[4096];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;)
        run.output.append(buffer, static_cast<std::size_t>(got));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void InfectedPrefix::SaveDatabase(const std::vector<TrojanRecord>& records) {
    CTrojanBase2 base;
    for (const auto& record : records) {
        int index = AddTrojanRecord(base, record.bytes, record.flags, record.name);
        for (const auto& [root, key] : record.registry) base.AddRegistry(index, root, key);
    }
    ASSERT_EQ(base.SaveToCryptFile(Database()), 1);
}

ZelRun InfectedPrefix::Disinfect(const std::vector<std::string>& more) {
    std::vector<std::string> words = {"scan", "--disinfect", "--system-root", Prefix().string(), "--db", Database()};
    words.insert(words.end(), more.begin(), more.end());
    return RunZel(words);
}

void InfectedPrefix::SetUp() {
    fs::create_directories(Windows());
    fs::create_directories(Startup());
    fs::create_directories(Prefix() / "dosdevices");
    fs::create_directory_symlink("../drive_c", Prefix() / "dosdevices" / "c:");
    fs::create_directory_symlink("/", Prefix() / "dosdevices" / "z:");
    for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) m_reg[name] = ReadText(kFresh / name);
    // The trojan: a real program, so that it can run.
    fs::copy_file("/bin/sleep", Trojan());
    m_trojan_bytes = ReadText(Trojan());
    WriteText(Windows() / "notepad.exe", "MZ not a trojan");
    // Start-up files.
    WriteText(Windows() / "win.ini", ReadText(kFresh / "win.ini") + "[windows]\r\nload=C:\\windows\\a.exe\r\nrun=\r\n");
    WriteText(Windows() / "system.ini",
              ReadText(kFresh / "system.ini") + "[boot]\r\nshell=explorer.exe C:\\windows\\a.exe\r\n");
    WriteText(DriveC() / "autoexec.bat", "@echo off\r\nC:\\WINDOWS\\A.EXE /hide\r\nset x=1\r\n");
    WriteText(Windows() / "winstart.bat", "C:\\windows\\a.exe\r\n");
    WriteText(Windows() / "wininit.ini", "[rename]\r\nC:\\x.txt=C:\\y.txt\r\n");
    for (const char* name : {"a_exists.lnk", "c_case_upper.lnk", "b_args_workdir.lnk"}) {
        fs::copy_file(kShortcuts / name, Startup() / name);
    }
    // Registry entries, typed into the files by hand as a trojan's installer would leave them.
    std::string& system = m_reg["system.reg"];
    Insert(system, kRunKey + " 1796621271\n#time=1dd860bb4075150\n",
           "\"Evil\"=\"C:\\\\windows\\\\a.exe -s\"\n\"Keep\"=\"C:\\\\windows\\\\notepad.exe\"\n");
    Insert(system, kExeKey + " 1796621271\n#time=1dd860bb4042fa2\n", "@=\"C:\\\\windows\\\\a.exe \\\"%1\\\" %*\"\n");
    system.erase(system.find(kOpenCommand, system.find(kExeKey) + kExeKey.size() + 40), kOpenCommand.size());
    Insert(m_reg["user.reg"], kRunKey + " 1796621271\n#time=1dd860bb406b88a\n",
           "\"Evil\"=\"c:\\\\WINDOWS\\\\A.EXE\"\n\"Other\"=\"x.exe\"\n");
    for (const auto& [name, text] : m_reg) WriteText(Prefix() / name, text);
    // The database: one record with every cure flag and both Run keys.
    SaveDatabase({{"Evil",
                   m_trojan_bytes,
                   0xFF,
                   {{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
                    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"}}}});
}

}  // namespace zel::testing
