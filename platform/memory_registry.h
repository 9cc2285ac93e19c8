// A registry held in memory: the test double of the Wine registry files, with the same behaviour
// (one shared test suite runs against both).
#pragma once

#include <memory>
#include <vector>

#include "platform/registry.h"

namespace zel::platform {

class MemoryRegistry : public Registry {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;

    RegistryStatus OpenKey(RegistryRoot root, const std::string& subkey) override;
    RegistryStatus CreateKey(RegistryRoot root, const std::string& subkey) override;
    RegistryStatus EnumValue(RegistryRoot root, const std::string& subkey, std::size_t index,
                             RegistryValue& value) override;
    RegistryStatus QueryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                              RegistryValue& value) override;
    RegistryStatus SetValue(RegistryRoot root, const std::string& subkey, const RegistryValue& value) override;
    RegistryStatus DeleteValue(RegistryRoot root, const std::string& subkey, const std::string& name) override;
    std::string WriteRefusal() override { return m_refusal; }
    std::string FailureReason() override { return m_refusal; }

    // Makes every later write fail with kLocked and this reason ("" allows writes again).
    void RefuseWrites(std::string reason) { m_refusal = std::move(reason); }

private:
    struct Key {
        std::string name;
        std::vector<RegistryValue> values;  // sorted by CompareRegistryNames
        std::vector<std::unique_ptr<Key>> subkeys;
    };
    Key* Find(RegistryRoot root, const std::string& subkey, bool create);

    Key m_machine;
    Key m_users;
    std::string m_refusal;
};

}  // namespace zel::platform
