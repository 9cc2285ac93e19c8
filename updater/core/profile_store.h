// The per-user profile in which the updater keeps its settings: sections holding integer (DWORD)
// and string values, in the manner of the framework's profile functions.
#pragma once

#include "framework/framework_types.h"

namespace zel::updater {

class CProfileStore {
public:
    virtual ~CProfileStore() = default;
    // The integer value `entry` of `section`, or `defaultValue` when it is missing or not a DWORD.
    virtual int ReadInt(const CString& section, const CString& entry, int defaultValue) = 0;
    // The string value, or `defaultValue` when it is missing or not a string.
    virtual CString ReadString(const CString& section, const CString& entry, const CString& defaultValue) = 0;
    // Stores a value; false when it could not be stored.
    virtual bool WriteInt(const CString& section, const CString& entry, int value) = 0;
    virtual bool WriteString(const CString& section, const CString& entry, const CString& value) = 0;
};

}  // namespace zel::updater
