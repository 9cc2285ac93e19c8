// The registry of the Windows machine that the system root holds: keys under seven roots, each key
// holding named, typed values. Two backends: Wine's registry files (platform/wine/wine_registry.h)
// and an in-memory tree (platform/memory_registry.h) for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zel::platform {

// The seven roots, in the order of the database's root table.
enum class RegistryRoot {
    kClassesRoot,
    kCurrentConfig,
    kCurrentUser,
    kLocalMachine,
    kUsers,
    kPerformanceData,
    kDynData,
};

// Value types, numbered as Windows numbers them.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// The user's security identifier under HKEY_USERS; HKEY_CURRENT_USER is that key.
inline constexpr const char* kCurrentUserSid = "S-1-5-21-0-0-0-1000";

// One value as the 8-bit (ANSI) registry functions see it. `name` "" is the key's default value.
// For the string types (kRegSz, kRegExpandSz, kRegMultiSz) `data` is text in the ANSI code page
// including its terminating zero byte(s); for every other type it is the raw bytes.
struct RegistryValue {
    std::string name;
    std::uint32_t type = kRegNone;
    std::string data;

    bool operator==(const RegistryValue&) const = default;
};

enum class RegistryStatus {
    kOk,
    kNotFound,  // the key (or the value, or the index) does not exist
    kLocked,    // writing is refused because another program owns the registry right now
    kFailed,    // the root cannot be opened, the key cannot be made, or storage failed
};

// Key paths are 8-bit texts with "\" between the levels; "" is the root itself. Key and value names
// are compared without regard to letter case and keep the spelling they were created with.
// Values of a key are kept sorted by name (the default value first), which is also the order of
// enumeration. Calls are made by one thread at a time.
class Registry {
public:
    virtual ~Registry() = default;

    // kOk when the key exists (it may hold nothing); kNotFound or kFailed otherwise.
    virtual RegistryStatus OpenKey(RegistryRoot root, const std::string& subkey) = 0;
    // Creates the key and every missing level above it; kOk also when it existed already.
    virtual RegistryStatus CreateKey(RegistryRoot root, const std::string& subkey) = 0;
    // The value at `index` of the key's sorted values; kNotFound past the last one.
    virtual RegistryStatus EnumValue(RegistryRoot root, const std::string& subkey, std::size_t index,
                                     RegistryValue& value) = 0;
    // The value named `name` of the key.
    virtual RegistryStatus QueryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                                      RegistryValue& value) = 0;
    // Creates or replaces a value of an existing key (kNotFound when the key is missing).
    virtual RegistryStatus SetValue(RegistryRoot root, const std::string& subkey, const RegistryValue& value) = 0;
    // Removes a value; kNotFound when the key or the value is missing.
    virtual RegistryStatus DeleteValue(RegistryRoot root, const std::string& subkey, const std::string& name) = 0;
    // "" when writes are possible now, else a one-line reason why they are refused.
    virtual std::string WriteRefusal() = 0;
    // Why the last call that answered kFailed or kLocked failed, in one line ("" when unknown).
    virtual std::string FailureReason() { return ""; }
};

// Letter-case-blind comparison of key and value names: ASCII and the Latin-1 letters of the ANSI
// code page fold together. Returns <0, 0 or >0.
int CompareRegistryNames(const std::string& a, const std::string& b);
inline bool RegistryNamesEqual(const std::string& a, const std::string& b) { return CompareRegistryNames(a, b) == 0; }
// The name with its letters folded as CompareRegistryNames folds them: equal names fold alike.
std::string FoldRegistryName(const std::string& name);

// The registry root for a handle value of the 32-bit Windows API (0x80000000 = HKEY_CLASSES_ROOT
// ... 0x80000006 = HKEY_DYN_DATA); false for any other value.
bool RootFromHandle(std::uint32_t handle, RegistryRoot& root);
// The name of a root, e.g. "HKEY_LOCAL_MACHINE".
const char* RootName(RegistryRoot root);

}  // namespace zel::platform

namespace zel::platform {

// Where a root lives. Like Windows, the backends hold two hives, the machine's and the users', and
// every root is a key in one of them: HKEY_CLASSES_ROOT is the machine's "Software\Classes",
// HKEY_CURRENT_CONFIG its current hardware profile, HKEY_CURRENT_USER the user's key under
// HKEY_USERS. HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA have no keys and never open.
enum class RegistryHive { kMachine, kUsers };
struct RootLocation {
    RegistryHive hive = RegistryHive::kMachine;
    std::string prefix;  // the root's key path within the hive; "" for the hive itself
};
bool LocateRoot(RegistryRoot root, RootLocation& location);
// The hive path of `subkey` under a located root.
std::string JoinKeyPath(const std::string& prefix, const std::string& subkey);
// Splits a key path at "\", dropping empty levels.
std::vector<std::string> SplitKeyPath(const std::string& path);

}  // namespace zel::platform
