// The settings and run state shared by the wizard pages, and the settings' stored form.
#pragma once

#include <vector>

#include "framework/framework_types.h"
#include "updater/core/profile_store.h"

namespace zel::updater {

struct CMirror {
    CString Name;
    CString URL;
};

struct CUpdateSettings {
    CString URL;
    std::vector<CMirror> Mirrors;
    int UseProxySettings = 0;
    CString HTTPProxy;
    CString FTPProxy;
    int HTTPPort = 0;
    int FTPPort = 0;
    CString ListFileName = "zelbase.lst";
    CString CompletionText;  // from the script's f command; not stored
    CString LogText;         // "Updated" and "Failed update" lines; not stored
    int FailedCount = 0;     // lines of this run that failed (downloads, refused, malformed); not stored
};

// The section and the number of mirror slots in the profile.
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr int kMirrorSlots = 16;
// Between a mirror's name and its URL: a backslash and the letter n, not a line break.
inline constexpr const char* kMirrorSeparator = "\\n";

// Fills `settings` from the profile: missing values take their defaults, empty mirror slots are
// skipped, so Mirrors holds the non-empty slots in slot order.
void LoadSettings(CProfileStore& profile, CUpdateSettings& settings);
// Writes `settings` back, the mirrors compacted into the first slots and the rest emptied. Every
// value is attempted; false when any of them could not be stored.
bool SaveSettings(CProfileStore& profile, const CUpdateSettings& settings);

// Splits a stored mirror value at the first separator. A value without one is kept whole as the
// URL with an empty name.
CMirror ParseMirror(const CString& value);

}  // namespace zel::updater
