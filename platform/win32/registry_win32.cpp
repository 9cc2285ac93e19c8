#include "platform/win32/registry_win32.h"

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "platform/win32/wide_text.h"

namespace zel::platform {
namespace {

using win32::AnsiFromWide;
using win32::WideFromAnsi;

// Closes an opened key when it goes out of scope.
class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() {
        if (m_key) RegCloseKey(m_key);
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    HKEY* out() { return &m_key; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

HKEY LiveRoot(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::kClassesRoot: return HKEY_CLASSES_ROOT;
        case RegistryRoot::kCurrentConfig: return HKEY_CURRENT_CONFIG;
        case RegistryRoot::kCurrentUser: return HKEY_CURRENT_USER;
        case RegistryRoot::kLocalMachine: return HKEY_LOCAL_MACHINE;
        case RegistryRoot::kUsers: return HKEY_USERS;
        case RegistryRoot::kPerformanceData:
        case RegistryRoot::kDynData: return nullptr;
    }
    return nullptr;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A zero byte would end the name early at the call, so that another key or value than the one asked
// for would be acted on.
bool HoldsZero(const std::string& name) { return name.find('\0') != std::string::npos; }

struct ValueName {
    std::wstring wide;
    std::string ansi;
};

// The names of a key's values, sorted as the interface sorts them (stable: names that Windows-1252
// cannot tell apart keep the system's order).
LONG ValueNames(HKEY key, std::vector<ValueName>& names) {
    DWORD count = 0, longest = 0;
    LONG code = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest, nullptr,
                                 nullptr, nullptr);
    if (code != ERROR_SUCCESS) return code;
    std::vector<wchar_t> buffer(static_cast<std::size_t>(longest) + 2);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        code = RegEnumValueW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (code == ERROR_NO_MORE_ITEMS) break;
        if (code == ERROR_MORE_DATA && buffer.size() < 0x8000) {
            // A longer name was added meanwhile: read this index again with room for it.
            buffer.resize(0x8000);
            --index;
            continue;
        }
        if (code != ERROR_SUCCESS) return code;
        std::wstring wide(buffer.data(), length);
        names.push_back({wide, AnsiFromWide(wide)});
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const ValueName& a, const ValueName& b) { return CompareRegistryNames(a.ansi, b.ansi) < 0; });
    return ERROR_SUCCESS;
}

// Reads a value's type and data; string data is handed over in Windows-1252.
LONG ReadValue(HKEY key, const std::wstring& name, RegistryValue& value) {
    std::vector<BYTE> data;
    DWORD type = REG_NONE;
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        LONG code = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &size);
        if (code == ERROR_SUCCESS && size <= data.size()) {
            data.resize(size);
            break;
        }
        // The first call only asks for the size; a value that grew meanwhile is asked for again.
        if (code != ERROR_SUCCESS && code != ERROR_MORE_DATA) return code;
        data.resize(std::max<std::size_t>(size, 1));
    }
    value.type = type;
    if (IsStringType(type)) {
        std::wstring wide(data.size() / sizeof(wchar_t), L'\0');
        std::copy_n(data.data(), wide.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(wide.data()));
        value.data = AnsiFromWide(wide);
    } else {
        value.data.assign(data.begin(), data.end());
    }
    return ERROR_SUCCESS;
}

}  // namespace

Win32Registry::Win32Registry(std::string base) : m_base(std::move(base)) {
    for (const std::string& hive :
         {std::string("Users\\.DEFAULT"), std::string("Users\\") + kCurrentUserSid, std::string("Machine")}) {
        KeyHandle key;
        RegCreateKeyExW(HKEY_CURRENT_USER, WideFromAnsi(JoinKeyPath(m_base, hive)).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, key.out(), nullptr);
    }
}

bool Win32Registry::Locate(RegistryRoot root, const std::string& subkey, Place& place) {
    if (HoldsZero(subkey)) return false;
    if (m_base.empty()) {
        HKEY live = LiveRoot(root);
        if (!live) return false;
        place = {live, WideFromAnsi(JoinKeyPath("", subkey)), false, ""};
        return true;
    }
    RootLocation location;
    if (!LocateRoot(root, location)) return false;
    const bool users = location.hive == RegistryHive::kUsers;
    const std::string inside = JoinKeyPath(location.prefix, subkey);
    const std::vector<std::string> levels = SplitKeyPath(inside);
    place = {HKEY_CURRENT_USER, WideFromAnsi(JoinKeyPath(m_base + (users ? "\\Users" : "\\Machine"), inside)),
             levels.empty(), users && !levels.empty() ? levels[0] : ""};
    return true;
}

RegistryStatus Win32Registry::Result(long code) {
    if (code == ERROR_SUCCESS) return RegistryStatus::kOk;
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return RegistryStatus::kNotFound;
    return Fail(win32::SystemErrorText(static_cast<unsigned long>(code)));
}

RegistryStatus Win32Registry::Fail(std::string reason) {
    m_failure = std::move(reason);
    return RegistryStatus::kFailed;
}

RegistryStatus Win32Registry::OpenKey(RegistryRoot root, const std::string& subkey) {
    Place place;
    if (!Locate(root, subkey, place)) return Fail(std::string(RootName(root)) + " has no such key");
    KeyHandle key;
    return Result(RegOpenKeyExW(static_cast<HKEY>(place.base), place.path.c_str(), 0, KEY_QUERY_VALUE, key.out()));
}

RegistryStatus Win32Registry::CreateKey(RegistryRoot root, const std::string& subkey) {
    RegistryStatus exists = OpenKey(root, subkey);
    if (exists != RegistryStatus::kNotFound) return exists;
    if (!m_refusal.empty()) return RegistryStatus::kLocked;
    Place place;
    Locate(root, subkey, place);
    // HKEY_USERS holds only the hives that are loaded: no key of its own can be made there.
    if (!place.users_hive.empty() && OpenKey(RegistryRoot::kUsers, place.users_hive) != RegistryStatus::kOk) {
        return Fail("HKEY_USERS has no hive " + place.users_hive);
    }
    KeyHandle key;
    return Result(RegCreateKeyExW(static_cast<HKEY>(place.base), place.path.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, key.out(), nullptr));
}

RegistryStatus Win32Registry::EnumValue(RegistryRoot root, const std::string& subkey, std::size_t index,
                                        RegistryValue& value) {
    Place place;
    if (!Locate(root, subkey, place)) return RegistryStatus::kNotFound;
    KeyHandle key;
    LONG code = RegOpenKeyExW(static_cast<HKEY>(place.base), place.path.c_str(), 0, KEY_QUERY_VALUE, key.out());
    std::vector<ValueName> names;
    if (code == ERROR_SUCCESS) code = ValueNames(key.get(), names);
    if (code != ERROR_SUCCESS) return Result(code);
    if (index >= names.size()) return RegistryStatus::kNotFound;
    RegistryValue read;
    RegistryStatus status = Result(ReadValue(key.get(), names[index].wide, read));
    if (status != RegistryStatus::kOk) return status;
    read.name = names[index].ansi;
    value = std::move(read);
    return RegistryStatus::kOk;
}

RegistryStatus Win32Registry::QueryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                                         RegistryValue& value) {
    Place place;
    if (!Locate(root, subkey, place) || HoldsZero(name)) return RegistryStatus::kNotFound;
    KeyHandle key;
    LONG code = RegOpenKeyExW(static_cast<HKEY>(place.base), place.path.c_str(), 0, KEY_QUERY_VALUE, key.out());
    RegistryValue read;
    if (code == ERROR_SUCCESS) code = ReadValue(key.get(), WideFromAnsi(name), read);
    if (code != ERROR_SUCCESS) return Result(code);
    read.name = name;
    value = std::move(read);
    return RegistryStatus::kOk;
}

RegistryStatus Win32Registry::SetValue(RegistryRoot root, const std::string& subkey, const RegistryValue& value) {
    Place place;
    if (!Locate(root, subkey, place)) return RegistryStatus::kNotFound;
    KeyHandle key;
    RegistryStatus status =
        Result(RegOpenKeyExW(static_cast<HKEY>(place.base), place.path.c_str(), 0, KEY_SET_VALUE, key.out()));
    if (status != RegistryStatus::kOk) return status;
    if (!m_refusal.empty()) return RegistryStatus::kLocked;
    if (place.hive) return Fail("a hive holds no values, only its keys do");
    if (HoldsZero(value.name)) return Fail("a value name cannot hold a zero byte");
    std::wstring wide;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(value.data.data());
    std::size_t size = value.data.size();
    if (IsStringType(value.type)) {
        // Windows adds a terminator the caller "forgot" when the character after the data is zero;
        // a non-zero one after it keeps the data exactly as given.
        wide = WideFromAnsi(value.data) + L'\xFFFF';
        bytes = reinterpret_cast<const BYTE*>(wide.data());
        size = (wide.size() - 1) * sizeof(wchar_t);
    }
    if (size > std::numeric_limits<DWORD>::max()) return Fail("the value is too large for the registry");
    return Result(RegSetValueExW(key.get(), WideFromAnsi(value.name).c_str(), 0, value.type, size ? bytes : nullptr,
                                 static_cast<DWORD>(size)));
}

RegistryStatus Win32Registry::DeleteValue(RegistryRoot root, const std::string& subkey, const std::string& name) {
    Place place;
    if (!Locate(root, subkey, place) || HoldsZero(name)) return RegistryStatus::kNotFound;
    KeyHandle key;
    RegistryStatus status =
        Result(RegOpenKeyExW(static_cast<HKEY>(place.base), place.path.c_str(), 0, KEY_SET_VALUE, key.out()));
    if (status != RegistryStatus::kOk) return status;
    if (!m_refusal.empty()) return RegistryStatus::kLocked;
    return Result(RegDeleteValueW(key.get(), WideFromAnsi(name).c_str()));
}

}  // namespace zel::platform
