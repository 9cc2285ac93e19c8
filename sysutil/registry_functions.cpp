#include "sysutil/registry_functions.h"

#include <cstring>

#include "platform/registry.h"
#include "platform/services.h"

using zel::platform::CurrentServices;
using zel::platform::Registry;
using zel::platform::RegistryRoot;
using zel::platform::RegistryStatus;
using zel::platform::RegistryValue;

namespace {

// The registry and root for a call; null when there is no registry or the handle names no root.
Registry* Resolve(HKEY handle, RegistryRoot& root) {
    Registry* registry = CurrentServices().registry;
    if (!registry || !zel::platform::RootFromHandle(RegistryHandleValue(handle), root)) return nullptr;
    return registry;
}

// A string value's text as the 8-bit functions return it: up to its first zero byte.
CString TextOf(const RegistryValue& value) { return CString(value.data.c_str()); }

bool FitsBuffers(const RegistryValue& value) {
    return value.name.size() < static_cast<std::size_t>(kRegistryBufferSize) &&
           value.data.size() <= static_cast<std::size_t>(kRegistryBufferSize);
}

}  // namespace

int RegistryEnumValue(HKEY root, const CString& subkey, int index, CString& name, CString& data) {
    RegistryRoot which;
    Registry* registry = Resolve(root, which);
    if (!registry || index < 0) return -2;
    if (registry->OpenKey(which, subkey) != RegistryStatus::kOk) return -2;
    RegistryValue value;
    if (registry->EnumValue(which, subkey, static_cast<std::size_t>(index), value) != RegistryStatus::kOk) {
        return -2;
    }
    // A value too long for the buffers fails before its type is looked at, as the system call does.
    if (!FitsBuffers(value)) return -2;
    if (value.type != zel::platform::kRegSz) return -1;
    name = value.name;
    data = TextOf(value);
    return 0;
}

int RegistrySetString(HKEY root, const CString& subkey, const CString& valueName, const CString& text) {
    RegistryCreateKey(root, subkey);
    RegistryRoot which;
    Registry* registry = Resolve(root, which);
    if (!registry || registry->OpenKey(which, subkey) != RegistryStatus::kOk) return 0;
    // Opening with full access fails where writing is refused.
    if (!registry->WriteRefusal().empty()) return 0;
    RegistryValue value;
    value.name = valueName;
    value.type = zel::platform::kRegSz;
    value.data.assign(text.c_str(), std::strlen(text.c_str()) + 1);
    return registry->SetValue(which, subkey, value) == RegistryStatus::kOk ? 1 : 0;
}

void RegistryDeleteValue(HKEY root, const CString& subkey, const CString& valueName) {
    RegistryRoot which;
    Registry* registry = Resolve(root, which);
    if (!registry || registry->OpenKey(which, subkey) != RegistryStatus::kOk) return;
    registry->DeleteValue(which, subkey, valueName);
}

int RegistryCreateKey(HKEY root, const CString& subkey) {
    RegistryRoot which;
    Registry* registry = Resolve(root, which);
    if (!registry) return 0;
    return registry->CreateKey(which, subkey) == RegistryStatus::kOk ? 1 : 0;
}

CString RegistryReadString(HKEY root, const CString& subkey, const CString& valueName, const CString& defaultText) {
    RegistryRoot which;
    Registry* registry = Resolve(root, which);
    if (!registry || registry->OpenKey(which, subkey) != RegistryStatus::kOk) return defaultText;
    RegistryValue value;
    if (registry->QueryValue(which, subkey, valueName, value) != RegistryStatus::kOk) return defaultText;
    if (value.data.size() > static_cast<std::size_t>(kRegistryBufferSize)) return defaultText;
    if (value.type != zel::platform::kRegSz) return defaultText;
    return TextOf(value);
}
