#include "platform/win32/process_table_win32.h"

#include "platform/win32/windows_api.h"
// After <windows.h>, which it needs.
#include <tlhelp32.h>

#include "platform/win32/wide_text.h"

namespace zel::platform {
namespace {

// Windows paths are at most this long, in UTF-16 units, even with the "\\?\" prefix.
constexpr DWORD kLongestPath = 32768;

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using QueryFullProcessImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using Process32Fn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32W*);
using Module32Fn = BOOL(WINAPI*)(HANDLE, MODULEENTRY32W*);

template <typename Function>
bool Bind(HMODULE library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() {
        if (m_handle) CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    HANDLE m_handle;
};

// A path as the system hands it over, in the plain drive form: without the "\\?\" or "\??\" that
// some lookups put before it.
std::string PlainPath(std::wstring path) {
    for (const wchar_t* prefix : {L"\\\\?\\", L"\\??\\"}) {
        if (path.rfind(prefix, 0) == 0 && path.size() > 6 && path[5] == L':') path.erase(0, 4);
    }
    return win32::Utf8FromWide(path);
}

// Calls `get(buffer, size)`, which answers the length it wrote, with a larger buffer while the
// answer fills the buffer (the path was cut short).
// A process that has ended lives on as an object while someone holds a handle to it; it runs no
// program any more. (A process that returned 259, the "still active" code, counts as running.)
bool Running(HANDLE process) {
    DWORD code = 0;
    return GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
}

template <typename Get>
std::wstring GrowingRead(Get get) {
    for (DWORD size = MAX_PATH; size <= kLongestPath; size *= 2) {
        std::wstring buffer(size, L'\0');
        DWORD length = get(buffer.data(), size);
        if (length == 0) return {};
        if (length < size - 1) return buffer.substr(0, length);
    }
    return {};
}

}  // namespace

// Entry points of the process-status library (and of the kernel's newer path query, when it has
// one: it names the program of a process that may not be read, such as one of another word size)
// and of the kernel's tool-help functions.
struct Win32ProcessTable::Entries {
    HMODULE psapi = nullptr;
    EnumProcessesFn enumProcesses = nullptr;
    EnumProcessModulesFn enumProcessModules = nullptr;
    GetModuleFileNameExFn getModuleFileNameEx = nullptr;
    QueryFullProcessImageNameFn queryFullProcessImageName = nullptr;
    CreateSnapshotFn createSnapshot = nullptr;
    Process32Fn process32First = nullptr;
    Process32Fn process32Next = nullptr;
    Module32Fn module32First = nullptr;

    bool processStatus() const { return enumProcesses && enumProcessModules && getModuleFileNameEx; }
    bool toolHelp() const { return createSnapshot && process32First && process32Next && module32First; }

    // The process entry of `id` in a fresh snapshot.
    bool FindProcess(std::uint32_t id, PROCESSENTRY32W& entry) const {
        if (!toolHelp()) return false;
        Handle snapshot(createSnapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return false;
        entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = process32First(snapshot.get(), &entry); more; more = process32Next(snapshot.get(), &entry)) {
            if (entry.th32ProcessID == id) return true;
        }
        return false;
    }
};

Win32ProcessTable::Win32ProcessTable(ProcessInterface use) : m_interface(use), m_entries(std::make_unique<Entries>()) {
    Entries& e = *m_entries;
    if (HMODULE kernel = GetModuleHandleW(L"KERNEL32.DLL")) {
        Bind(kernel, "QueryFullProcessImageNameW", e.queryFullProcessImageName);
        // All four or none: a kernel without the module walk cannot name a program on the NT family.
        if (!Bind(kernel, "CreateToolhelp32Snapshot", e.createSnapshot) ||
            !Bind(kernel, "Process32FirstW", e.process32First) || !Bind(kernel, "Process32NextW", e.process32Next) ||
            !Bind(kernel, "Module32FirstW", e.module32First)) {
            e.createSnapshot = nullptr;
        }
    }
    if (use == ProcessInterface::kProcessStatus) {
        e.psapi = LoadLibraryW(L"PSAPI.DLL");
        if (e.psapi && (!Bind(e.psapi, "EnumProcesses", e.enumProcesses) ||
                        !Bind(e.psapi, "EnumProcessModules", e.enumProcessModules) ||
                        !Bind(e.psapi, "GetModuleFileNameExW", e.getModuleFileNameEx))) {
            e.enumProcesses = nullptr;
        }
    }
}

Win32ProcessTable::~Win32ProcessTable() {
    if (m_entries->psapi) FreeLibrary(m_entries->psapi);
}

bool Win32ProcessTable::ListIds(std::vector<std::uint32_t>& ids) {
    const Entries& e = *m_entries;
    if (m_interface == ProcessInterface::kProcessStatus) {
        if (!e.processStatus()) return false;
        // Every process is listed, however many run: the buffer grows until the list fits with room.
        for (std::vector<DWORD> buffer(1024); buffer.size() <= (1u << 20); buffer.resize(buffer.size() * 2)) {
            DWORD bytes = 0;
            const DWORD capacity = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
            if (!e.enumProcesses(buffer.data(), capacity, &bytes)) return false;
            if (bytes < capacity) {
                ids.assign(buffer.begin(), buffer.begin() + bytes / sizeof(DWORD));
                return true;
            }
        }
        return false;
    }
    if (!e.toolHelp()) return false;
    Handle snapshot(e.createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    ids.clear();
    for (BOOL more = e.process32First(snapshot.get(), &entry); more; more = e.process32Next(snapshot.get(), &entry)) {
        ids.push_back(entry.th32ProcessID);
    }
    return true;
}

bool Win32ProcessTable::ProcessStatusPath(std::uint32_t id, std::string& path) {
    const Entries& e = *m_entries;
    std::wstring program;
    if (Handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id)); process) {
        if (!Running(process.get())) return false;
        HMODULE first = nullptr;
        DWORD needed = 0;
        if (e.enumProcessModules(process.get(), &first, sizeof first, &needed) && first) {
            program = GrowingRead(
                [&](wchar_t* buffer, DWORD size) { return e.getModuleFileNameEx(process.get(), first, buffer, size); });
        }
    }
    if (program.empty() && e.queryFullProcessImageName) {
        if (Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
            process && Running(process.get())) {
            program = GrowingRead([&](wchar_t* buffer, DWORD size) {
                DWORD length = size;
                if (e.queryFullProcessImageName(process.get(), 0, buffer, &length)) return length;
                return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : DWORD{0};
            });
        }
    }
    if (program.empty()) return false;
    path = PlainPath(program);
    return true;
}

bool Win32ProcessTable::ToolHelpPath(std::uint32_t id, std::string& path) {
    const Entries& e = *m_entries;
    PROCESSENTRY32W entry;
    if (!e.FindProcess(id, entry)) return false;
    std::wstring program(entry.szExeFile);
    // The 95 family gives the whole path; the NT family only the file name, and the path then comes
    // from the process's first module.
    if (program.find(L'\\') == std::wstring::npos) {
        Handle modules(e.createSnapshot(TH32CS_SNAPMODULE, id));
        MODULEENTRY32W module{};
        module.dwSize = sizeof module;
        if (!modules || !e.module32First(modules.get(), &module)) return false;
        program = module.szExePath;
    }
    if (program.empty()) return false;
    path = PlainPath(program);
    return true;
}

bool Win32ProcessTable::ProgramPath(std::uint32_t id, std::string& path) {
    if (m_interface == ProcessInterface::kProcessStatus)
        return m_entries->processStatus() && ProcessStatusPath(id, path);
    return ToolHelpPath(id, path);
}

bool Win32ProcessTable::ParentId(std::uint32_t id, std::uint32_t& parent) {
    PROCESSENTRY32W entry;
    if (!m_entries->FindProcess(id, entry) || entry.th32ParentProcessID == 0 || entry.th32ParentProcessID == id)
        return false;
    parent = entry.th32ParentProcessID;
    return true;
}

std::uint32_t Win32ProcessTable::OwnId() { return GetCurrentProcessId(); }

std::string Win32ProcessTable::OwnPath() {
    return PlainPath(
        GrowingRead([](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); }));
}

bool Win32ProcessTable::Terminate(std::uint32_t id) {
    // Ending ourselves would end the scan; ID 0 is the system's idle process.
    if (id == 0 || id == GetCurrentProcessId()) return false;
    Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    return process && TerminateProcess(process.get(), 1);
}

void Win32ProcessTable::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

bool IsWindowsNtFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    // The family is what the version query names, whatever version it claims.
    const BOOL known = GetVersionExA(&version);
#pragma GCC diagnostic pop
    return known && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

ProcessTable& SystemProcessTable() {
    static Win32ProcessTable table(IsWindowsNtFamily() ? ProcessInterface::kProcessStatus
                                                       : ProcessInterface::kToolHelp);
    return table;
}

}  // namespace zel::platform
