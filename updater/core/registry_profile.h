// The updater's profile in the registry: HKEY_CURRENT_USER\Software\Quorvane\Zel\Zelupdate, one
// subkey per section, integers as DWORD values and strings as string values.
#pragma once

#include "updater/core/profile_store.h"

namespace zel::updater {

inline constexpr const char* kProfileKey = "Software\\Quorvane\\Zel\\Zelupdate";
inline constexpr const char* kLanguageKey = "software\\Quorvane\\Zel";

class CRegistryProfile final : public CProfileStore {
public:
    int ReadInt(const CString& section, const CString& entry, int defaultValue) override;
    CString ReadString(const CString& section, const CString& entry, const CString& defaultValue) override;
    bool WriteInt(const CString& section, const CString& entry, int value) override;
    bool WriteString(const CString& section, const CString& entry, const CString& value) override;
};

// The user's language choice ("Language" under software\Quorvane\Zel), or "" when it is missing
// or longer than 19 characters.
CString ReadLanguage();

// The resource file for `language` beside the program: its path with everything after the last
// '.' of the file name replaced by the language ("…/Zelupdate.exe" + "ger" -> "…/Zelupdate.ger").
CString LanguageResourcePath(const CString& programPath, const CString& language);

}  // namespace zel::updater
