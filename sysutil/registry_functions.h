// Registry value functions over the registry of the process-wide platform binding. Each call
// opens the key itself and lets go of it before returning; no handle survives between calls.
#pragma once

#include "framework/framework_types.h"
#include "framework/hkey.h"

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
CString RegistryReadString(HKEY root, const CString& subkey, const CString& valueName, const CString& defaultText);
