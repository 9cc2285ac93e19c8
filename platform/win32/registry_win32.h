// The live registry of the running Windows through the wide-character registry functions. Names and
// string data are Windows-1252 in our code, as the Registry interface has them, and UTF-16 at the
// call. Windows enumerates values in the order they were made; this backend sorts them, as the
// interface promises, so that an index means the same value on every backend.
#pragma once

#include <string>

#include "platform/registry.h"

namespace zel::platform {

class Win32Registry : public Registry {
public:
    // The machine's registry: each root is the system's own root key. HKEY_PERFORMANCE_DATA and
    // HKEY_DYN_DATA never open, as on the other backends.
    Win32Registry() = default;
    // A stand-in kept under HKEY_CURRENT_USER\`base` (a key path below Software), for tests that
    // must leave the real keys alone: its two hives are the keys "Machine" and "Users" there, the
    // roots laid out in them as LocateRoot says, with the user hives ".DEFAULT" and the current
    // user's made at once. Removing `base` afterwards is the caller's business.
    explicit Win32Registry(std::string base);

    RegistryStatus OpenKey(RegistryRoot root, const std::string& subkey) override;
    RegistryStatus CreateKey(RegistryRoot root, const std::string& subkey) override;
    RegistryStatus EnumValue(RegistryRoot root, const std::string& subkey, std::size_t index,
                             RegistryValue& value) override;
    RegistryStatus QueryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                              RegistryValue& value) override;
    RegistryStatus SetValue(RegistryRoot root, const std::string& subkey, const RegistryValue& value) override;
    RegistryStatus DeleteValue(RegistryRoot root, const std::string& subkey, const std::string& name) override;
    std::string WriteRefusal() override { return m_refusal; }
    std::string FailureReason() override { return m_failure; }

    // Makes every later write fail with kLocked and this reason ("" allows writes again): a system
    // root that must not be changed keeps its registry unchanged too.
    void RefuseWrites(std::string reason) { m_refusal = std::move(reason); }

private:
    // Where a key of a root lies: a key of the system's and the path below it.
    struct Place {
        void* base = nullptr;  // HKEY
        std::wstring path;
        bool hive = false;       // the stand-in's hive key itself, which holds no values
        std::string users_hive;  // the stand-in's user hive the key lies in ("" for the machine's)
    };
    bool Locate(RegistryRoot root, const std::string& subkey, Place& place);
    RegistryStatus Result(long code);
    RegistryStatus Fail(std::string reason);

    std::string m_base;
    std::string m_refusal;
    std::string m_failure;
};

}  // namespace zel::platform
