// A registry root handle, numbered as the 32-bit Windows API numbers the predefined root keys.
// Shared by the database's registry entries and the registry value functions.
//
// On Windows HKEY and the HKEY_* roots are the system's own. Elsewhere they are defined alike: an
// opaque pointer, so that code which treats a handle as a number fails to compile here rather
// than on Windows. RegistryHandleValue gives the number.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include "framework/framework_types.h"
#else
struct RegistryRootKey;
using HKEY = RegistryRootKey*;
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000u});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001u});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002u});
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(std::uintptr_t{0x80000003u});
inline HKEY const HKEY_PERFORMANCE_DATA = reinterpret_cast<HKEY>(std::uintptr_t{0x80000004u});
inline HKEY const HKEY_CURRENT_CONFIG = reinterpret_cast<HKEY>(std::uintptr_t{0x80000005u});
inline HKEY const HKEY_DYN_DATA = reinterpret_cast<HKEY>(std::uintptr_t{0x80000006u});
#endif

// The 32-bit number of a root handle (0x80000000 for HKEY_CLASSES_ROOT ...). Windows widens the
// numbers with their sign into 64-bit handles; the low 32 bits are the number either way.
inline std::uint32_t RegistryHandleValue(HKEY root) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(root));
}
