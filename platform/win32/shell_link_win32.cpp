// Shortcuts read by the system's own shell-link object (COM), which knows every form Windows
// writes, the item-list-only ones included.
#include "platform/win32/windows_api.h"
// After <windows.h>, which they need.
#include <objbase.h>
#include <objidl.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "framework/codepage.h"
#include "platform/shell_link.h"
#include "platform/win32/wide_text.h"

namespace zel::platform {
namespace {

// COM for the calling thread while the object lives, released only when this call took it.
class ComScope {
public:
    ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    // Usable also when the thread had COM already in the other threading model.
    bool ready() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_result;
};

template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (m_pointer) m_pointer->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    Interface* operator->() const { return m_pointer; }
    void** out() { return reinterpret_cast<void**>(&m_pointer); }

private:
    Interface* m_pointer = nullptr;
};

// Why the file at `path` is no shortcut to open: "" for a regular file, and for a missing one
// (`missing` then set). The file is looked at without following a link or opening a device.
std::string NotARegularFile(const std::wstring& path, bool& missing) {
    missing = false;
    HANDLE file =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return missing ? "" : win32::SystemErrorText(error);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool disk = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!disk) return "it is a device, not a file";
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "it is a folder, not a file";
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return "it is a link, not a file";
    return "";
}

// The target, or "" with `reason` set when the file cannot be read as a shortcut (left "" for a
// missing file and a damaged shortcut).
std::string ReadTarget(const std::string& path, std::string& reason) {
    const auto wide = win32::WideFromUtf8(path);
    if (!wide) {
        reason = "its name is not valid UTF-8";
        return "";
    }
    bool missing = false;
    reason = NotARegularFile(*wide, missing);
    if (!reason.empty() || missing) return "";
    ComScope com;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (!com.ready() ||
        FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) {
        reason = "the system's shell-link object is not available";
        return "";
    }
    // A damaged shortcut reads as one without a target, as on every platform.
    if (FAILED(file->Load(wide->c_str(), STGM_READ))) return "";
    std::wstring buffer(32768, L'\0');
    if (link->GetPath(buffer.data(), static_cast<int>(buffer.size()), nullptr, SLGP_UNCPRIORITY) != S_OK) return "";
    buffer.resize(buffer.find(L'\0'));
    // Windows paths are 8-bit texts in our code: a target they cannot spell could be compared with
    // nothing, so it is reported rather than taken for another file. So is one that the shortcut holds
    // only in a lossy form ('?' for what its writer's code page lacked): no file name holds a '?'.
    const std::string utf8 = win32::Utf8FromWide(buffer);
    const auto ansi = codepage::Utf8ToWindows1252(utf8);
    if (ansi && ansi->find('?') == std::string::npos) return *ansi;
    reason = "its target " + utf8 + (ansi ? " is not named exactly in it" : " cannot be written in the ANSI code page");
    return "";
}

}  // namespace

std::string ReadShortcutTarget(const std::string& path, std::string* unreadable) {
    std::string reason;
    std::string target = ReadTarget(path, reason);
    if (unreadable) *unreadable = reason;
    return target;
}

}  // namespace zel::platform
