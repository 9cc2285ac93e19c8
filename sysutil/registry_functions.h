// Registry value functions over the registry of the process-wide platform binding. Each call
// opens the key itself and lets go of it before returning; no handle survives between calls.
#pragma once

#include <cstdint>

#include "framework/framework_types.h"

// A registry root as the 32-bit Windows API numbers it.
using HKEY = std::uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;
inline constexpr HKEY HKEY_DYN_DATA = 0x80000006u;

// Name and data buffers of the value functions hold this many bytes, terminator included.
inline constexpr int kRegistryBufferSize = 1024;

// Reads the value at `index` (from 0) of the key. 0: a string value (REG_SZ); name and data set.
// -1: the value exists but is not a string; name and data unchanged. -2: the key cannot be opened,
// there is no value at that index, its name or data does not fit 1,024 bytes, or any other failure.
int RegistryEnumValue(HKEY root, const CString& subkey, int index, CString& name, CString& data);

// Creates the key if needed, then writes `text` as a REG_SZ value (terminator included). An empty
// name addresses the key's default value. 1 when the value was written; 0 when the key cannot be
// opened for writing or the write fails.
int RegistrySetString(HKEY root, const CString& subkey, const CString& valueName, const CString& text);

// Deletes a value; a missing key or value is silently ignored.
void RegistryDeleteValue(HKEY root, const CString& subkey, const CString& valueName);

// Creates the key (and any missing level above it) or opens it if it exists. 1 on success, else 0.
int RegistryCreateKey(HKEY root, const CString& subkey);

// The value when it exists, is a string and fits 1,024 bytes; otherwise `defaultText`.
CString RegistryReadString(HKEY root, const CString& subkey, const CString& valueName,
                           const CString& defaultText);
