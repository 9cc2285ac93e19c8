#include "platform/memory_registry.h"

#include <algorithm>

namespace zel::platform {
namespace {

// The position where a value named `name` is or would go.
std::vector<RegistryValue>::iterator LowerBound(std::vector<RegistryValue>& values, const std::string& name) {
    return std::lower_bound(values.begin(), values.end(), name,
                            [](const RegistryValue& value, const std::string& wanted) {
                                return CompareRegistryNames(value.name, wanted) < 0;
                            });
}

}  // namespace

MemoryRegistry::MemoryRegistry() {
    // The user hives a Wine prefix has, so that both backends start alike.
    Find(RegistryRoot::kUsers, ".Default", true);
    Find(RegistryRoot::kCurrentUser, "", true);
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Key* MemoryRegistry::Find(RegistryRoot root, const std::string& subkey, bool create) {
    RootLocation location;
    if (!LocateRoot(root, location)) return nullptr;
    Key* key = location.hive == RegistryHive::kMachine ? &m_machine : &m_users;
    for (const auto& level : SplitKeyPath(JoinKeyPath(location.prefix, subkey))) {
        auto it = std::find_if(key->subkeys.begin(), key->subkeys.end(),
                               [&](const auto& child) { return RegistryNamesEqual(child->name, level); });
        if (it != key->subkeys.end()) {
            key = it->get();
            continue;
        }
        if (!create) return nullptr;
        auto child = std::make_unique<Key>();
        child->name = level;
        key->subkeys.push_back(std::move(child));
        key = key->subkeys.back().get();
    }
    return key;
}

RegistryStatus MemoryRegistry::OpenKey(RegistryRoot root, const std::string& subkey) {
    RootLocation location;
    if (!LocateRoot(root, location)) return RegistryStatus::kFailed;
    return Find(root, subkey, false) ? RegistryStatus::kOk : RegistryStatus::kNotFound;
}

RegistryStatus MemoryRegistry::CreateKey(RegistryRoot root, const std::string& subkey) {
    RootLocation location;
    if (!LocateRoot(root, location)) return RegistryStatus::kFailed;
    if (Find(root, subkey, false)) return RegistryStatus::kOk;
    if (!m_refusal.empty()) return RegistryStatus::kLocked;
    // Under HKEY_USERS only the hives that exist can hold keys.
    if (location.hive == RegistryHive::kUsers) {
        auto levels = SplitKeyPath(JoinKeyPath(location.prefix, subkey));
        if (levels.empty() || !Find(RegistryRoot::kUsers, levels[0], false)) return RegistryStatus::kFailed;
    }
    return Find(root, subkey, true) ? RegistryStatus::kOk : RegistryStatus::kFailed;
}

RegistryStatus MemoryRegistry::EnumValue(RegistryRoot root, const std::string& subkey, std::size_t index,
                                         RegistryValue& value) {
    Key* key = Find(root, subkey, false);
    if (!key || index >= key->values.size()) return RegistryStatus::kNotFound;
    value = key->values[index];
    return RegistryStatus::kOk;
}

RegistryStatus MemoryRegistry::QueryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                                          RegistryValue& value) {
    Key* key = Find(root, subkey, false);
    if (!key) return RegistryStatus::kNotFound;
    auto it = LowerBound(key->values, name);
    if (it == key->values.end() || !RegistryNamesEqual(it->name, name)) return RegistryStatus::kNotFound;
    value = *it;
    return RegistryStatus::kOk;
}

RegistryStatus MemoryRegistry::SetValue(RegistryRoot root, const std::string& subkey, const RegistryValue& value) {
    Key* key = Find(root, subkey, false);
    if (!key) return RegistryStatus::kNotFound;
    if (!m_refusal.empty()) return RegistryStatus::kLocked;
    // The hives themselves hold no values, only their keys do.
    if (key == &m_users || key == &m_machine) return RegistryStatus::kFailed;
    auto it = LowerBound(key->values, value.name);
    if (it != key->values.end() && RegistryNamesEqual(it->name, value.name)) {
        // The first spelling of a name stays.
        it->type = value.type;
        it->data = value.data;
    } else {
        key->values.insert(it, value);
    }
    return RegistryStatus::kOk;
}

RegistryStatus MemoryRegistry::DeleteValue(RegistryRoot root, const std::string& subkey, const std::string& name) {
    Key* key = Find(root, subkey, false);
    if (!key) return RegistryStatus::kNotFound;
    if (!m_refusal.empty()) return RegistryStatus::kLocked;
    auto it = LowerBound(key->values, name);
    if (it == key->values.end() || !RegistryNamesEqual(it->name, name)) return RegistryStatus::kNotFound;
    key->values.erase(it);
    return RegistryStatus::kOk;
}

}  // namespace zel::platform
