#include "updater/core/update_settings.h"

namespace zel::updater {
namespace {

CString MirrorEntry(int slot) { return "Mirror " + std::to_string(slot); }

}  // namespace

CMirror ParseMirror(const CString& value) {
    std::size_t separator = value.find(kMirrorSeparator);
    if (separator == CString::npos) return {CString(), value};
    return {value.substr(0, separator), value.substr(separator + 2)};
}

void LoadSettings(CProfileStore& profile, CUpdateSettings& settings) {
    settings.UseProxySettings = profile.ReadInt(kSettingsSection, "UseProxySettings", 0);
    settings.HTTPPort = profile.ReadInt(kSettingsSection, "HTTPPort", 0);
    settings.FTPPort = profile.ReadInt(kSettingsSection, "FTPPort", 0);
    settings.HTTPProxy = profile.ReadString(kSettingsSection, "HTTPProxy", "");
    settings.FTPProxy = profile.ReadString(kSettingsSection, "FTPProxy", "");
    settings.URL = profile.ReadString(kSettingsSection, "URL", "");
    settings.Mirrors.clear();  // loading again must not list the stored mirrors twice
    for (int slot = 0; slot < kMirrorSlots; ++slot) {
        CString value = profile.ReadString(kSettingsSection, MirrorEntry(slot), "");
        if (!value.empty()) settings.Mirrors.push_back(ParseMirror(value));
    }
}

bool SaveSettings(CProfileStore& profile, const CUpdateSettings& settings) {
    bool stored = true;
    stored &= profile.WriteInt(kSettingsSection, "UseProxySettings", settings.UseProxySettings);
    stored &= profile.WriteInt(kSettingsSection, "HTTPPort", settings.HTTPPort);
    stored &= profile.WriteInt(kSettingsSection, "FTPPort", settings.FTPPort);
    stored &= profile.WriteString(kSettingsSection, "HTTPProxy", settings.HTTPProxy);
    stored &= profile.WriteString(kSettingsSection, "FTPProxy", settings.FTPProxy);
    stored &= profile.WriteString(kSettingsSection, "URL", settings.URL);
    for (int slot = 0; slot < kMirrorSlots; ++slot) {
        CString value;
        if (static_cast<std::size_t>(slot) < settings.Mirrors.size()) {
            const CMirror& mirror = settings.Mirrors[static_cast<std::size_t>(slot)];
            value = mirror.Name + kMirrorSeparator + mirror.URL;
        }
        stored &= profile.WriteString(kSettingsSection, MirrorEntry(slot), value);
    }
    return stored;
}

}  // namespace zel::updater
