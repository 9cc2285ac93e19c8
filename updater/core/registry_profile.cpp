#include "updater/core/registry_profile.h"

#include "framework/little_endian.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "sysutil/registry_functions.h"

namespace zel::updater {
namespace {

constexpr std::size_t kLanguageBufferSize = 20;

CString SectionKey(const CString& section) { return CString(kProfileKey) + "\\" + section; }

}  // namespace

int CRegistryProfile::ReadInt(const CString& section, const CString& entry, int defaultValue) {
    platform::Registry* registry = platform::CurrentServices().registry;
    platform::RegistryValue value;
    if (!registry ||
        registry->QueryValue(platform::RegistryRoot::kCurrentUser, SectionKey(section), entry, value) !=
            platform::RegistryStatus::kOk ||
        value.type != platform::kRegDword || value.data.size() != 4)
        return defaultValue;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(value.data.data());
    std::uint32_t number = zel::LoadLe32(bytes, bytes + value.data.size());
    return static_cast<int>(number);
}

CString CRegistryProfile::ReadString(const CString& section, const CString& entry, const CString& defaultValue) {
    return RegistryReadString(HKEY_CURRENT_USER, SectionKey(section), entry, defaultValue);
}

bool CRegistryProfile::WriteInt(const CString& section, const CString& entry, int value) {
    platform::Registry* registry = platform::CurrentServices().registry;
    if (!registry || !RegistryCreateKey(HKEY_CURRENT_USER, SectionKey(section))) return false;
    auto number = static_cast<std::uint32_t>(value);
    platform::RegistryValue stored{entry, platform::kRegDword, std::string(4, '\0')};
    for (std::size_t i = 0; i < 4; ++i) stored.data[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    return registry->SetValue(platform::RegistryRoot::kCurrentUser, SectionKey(section), stored) ==
           platform::RegistryStatus::kOk;
}

bool CRegistryProfile::WriteString(const CString& section, const CString& entry, const CString& value) {
    return RegistrySetString(HKEY_CURRENT_USER, SectionKey(section), entry, value) == 1;
}

CString ReadLanguage() {
    CString language = RegistryReadString(HKEY_CURRENT_USER, kLanguageKey, "Language", "");
    return language.size() < kLanguageBufferSize ? language : CString();
}

CString LanguageResourcePath(const CString& programPath, const CString& language) {
    std::size_t dot = programPath.rfind('.');
    std::size_t slash = programPath.find_last_of("/\\");
    if (dot == CString::npos || (slash != CString::npos && dot < slash)) return programPath + "." + language;
    return programPath.substr(0, dot + 1) + language;
}

}  // namespace zel::updater
