#include "platform/wine/wine_registry.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "platform/files.h"
#include "platform/wine/wine_server.h"

namespace zel::platform {
namespace {

// FILETIME of the Unix epoch, in 100 ns units.
constexpr std::uint64_t kEpochFiletime = 116444736000000000ull;

}  // namespace

WineRegistry::WineRegistry(std::string prefix, Hooks hooks) : m_prefix(std::move(prefix)), m_hooks(std::move(hooks)) {
    m_hives[0].file = m_prefix + "/system.reg";
    m_hives[0].relative_to = "REGISTRY\\Machine";
    m_hives[1].file = m_prefix + "/user.reg";
    m_hives[1].relative_to = std::string("REGISTRY\\User\\") + kCurrentUserSid;
    m_hives[2].file = m_prefix + "/userdef.reg";
    m_hives[2].relative_to = "REGISTRY\\User\\.Default";
}

WineRegistry::~WineRegistry() = default;

std::array<std::string, 3> WineRegistry::HivePaths() const {
    return {m_hives[0].file, m_hives[1].file, m_hives[2].file};
}

std::uint64_t WineRegistry::Now() const {
    if (m_hooks.now) return m_hooks.now();
    auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count() / 100;
    return kEpochFiletime + static_cast<std::uint64_t>(ticks);
}

std::string WineRegistry::WriteRefusal() {
    bool running = m_hooks.wine_running ? m_hooks.wine_running() : IsWineServerRunning(m_prefix);
    if (running) {
        return "Wine is running on " + m_prefix + "; stop it (wineserver -k) first, or it overwrites the changes";
    }
    return "";
}

bool WineRegistry::Load(Hive& hive) {
    struct stat info {};
    Hive::Stamp stamp;
    if (::stat(hive.file.c_str(), &info) == 0) {
        stamp = {static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec,
                 static_cast<long long>(info.st_size), static_cast<long long>(info.st_ino)};
    }
    if ((hive.content || !hive.problem.empty()) && stamp == hive.stamp) return hive.content.has_value();
    hive.stamp = stamp;
    hive.content.reset();
    hive.problem.clear();
    if (stamp.size < 0) {
        // A hive that has no file yet is empty; it is written on the first change, naming the
        // architecture the prefix's other hives name (Wine loads no prefix whose hives differ).
        hive.content = WineRegistryFile::CreateEmpty(hive.relative_to, PrefixArch());
        return true;
    }
    std::ifstream in(hive.file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(stamp.size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        hive.problem = hive.file + ": cannot be read";
        return false;
    }
    std::string error;
    hive.content = WineRegistryFile::Parse(bytes, error);
    if (!hive.content) hive.problem = hive.file + ": " + error;
    return hive.content.has_value();
}

bool WineRegistry::Save(Hive& hive) {
    std::error_code ignored;
    std::filesystem::create_directories(m_prefix, ignored);
    std::string temp = CreateTempFileBeside(hive.file);
    if (temp.empty()) return false;
    TempFileGuard guard(temp);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        std::string bytes = hive.content->Serialize();
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) return false;
    }
    guard.Release();
    if (!ReplaceFileAtomically(temp, hive.file)) return false;
    // Our own save must not count as a change made by someone else.
    struct stat info {};
    if (::stat(hive.file.c_str(), &info) == 0) {
        hive.stamp = {static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec,
                      static_cast<long long>(info.st_size), static_cast<long long>(info.st_ino)};
    }
    return true;
}

std::string WineRegistry::PrefixArch() const {
    // The "#arch=" line comes within the first few lines of a hive.
    constexpr std::size_t kHeadBytes = 512;
    for (const auto& hive : m_hives) {
        std::ifstream in(hive.file, std::ios::binary);
        std::string head(kHeadBytes, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        if (std::string arch = WineRegistryFile::ArchOf(head); !arch.empty()) return arch;
    }
    return "win64";
}

std::string WineRegistry::LoadProblem() {
    for (auto& hive : m_hives) {
        if (!Load(hive)) return hive.problem;
    }
    return "";
}

bool WineRegistry::Locate(RegistryRoot root, const std::string& subkey, Place& place) {
    RootLocation location;
    if (!LocateRoot(root, location)) return false;
    std::string full = JoinKeyPath(location.prefix, subkey);
    if (location.hive == RegistryHive::kMachine) {
        place = {&m_hives[0], full, false};
        return true;
    }
    auto levels = SplitKeyPath(full);
    if (levels.empty()) {
        place = {nullptr, "", true};
        return true;
    }
    Hive* hive = RegistryNamesEqual(levels[0], kCurrentUserSid) ? &m_hives[1]
                 : RegistryNamesEqual(levels[0], ".Default")    ? &m_hives[2]
                                                                : nullptr;
    if (!hive) return false;
    place = {hive, full.size() > levels[0].size() ? full.substr(levels[0].size() + 1) : "", false};
    return true;
}

RegistryStatus WineRegistry::OpenKey(RegistryRoot root, const std::string& subkey) {
    Place place;
    if (!Locate(root, subkey, place)) {
        RootLocation location;
        return LocateRoot(root, location) ? RegistryStatus::kNotFound : RegistryStatus::kFailed;
    }
    if (place.users_root) return RegistryStatus::kOk;
    if (!Load(*place.hive)) return RegistryStatus::kNotFound;
    return place.hive->content->HasKey(place.path) ? RegistryStatus::kOk : RegistryStatus::kNotFound;
}

RegistryStatus WineRegistry::CreateKey(RegistryRoot root, const std::string& subkey) {
    Place place;
    if (!Locate(root, subkey, place)) return RegistryStatus::kFailed;
    if (place.users_root) return RegistryStatus::kOk;
    if (!Load(*place.hive)) return RegistryStatus::kFailed;  // never overwrite a file we cannot read
    if (place.hive->content->HasKey(place.path)) return RegistryStatus::kOk;
    if (!WriteRefusal().empty()) return RegistryStatus::kLocked;
    WineRegistryFile before = *place.hive->content;
    place.hive->content->CreateKey(place.path, Now());
    if (!Save(*place.hive)) {
        place.hive->content = std::move(before);
        return RegistryStatus::kFailed;
    }
    return RegistryStatus::kOk;
}

RegistryStatus WineRegistry::EnumValue(RegistryRoot root, const std::string& subkey, std::size_t index,
                                       RegistryValue& value) {
    Place place;
    if (!Locate(root, subkey, place) || place.users_root || !Load(*place.hive)) return RegistryStatus::kNotFound;
    return place.hive->content->EnumValue(place.path, index, value) ? RegistryStatus::kOk
                                                                    : RegistryStatus::kNotFound;
}

RegistryStatus WineRegistry::QueryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                                        RegistryValue& value) {
    Place place;
    if (!Locate(root, subkey, place) || place.users_root || !Load(*place.hive)) return RegistryStatus::kNotFound;
    return place.hive->content->QueryValue(place.path, name, value) ? RegistryStatus::kOk
                                                                    : RegistryStatus::kNotFound;
}

RegistryStatus WineRegistry::SetValue(RegistryRoot root, const std::string& subkey, const RegistryValue& value) {
    Place place;
    if (!Locate(root, subkey, place)) return RegistryStatus::kNotFound;
    if (place.users_root || JoinKeyPath("", place.path).empty()) return RegistryStatus::kFailed;
    if (!Load(*place.hive)) return RegistryStatus::kFailed;
    if (!place.hive->content->HasKey(place.path)) return RegistryStatus::kNotFound;
    if (!WriteRefusal().empty()) return RegistryStatus::kLocked;
    WineRegistryFile before = *place.hive->content;
    place.hive->content->SetValue(place.path, value, Now());
    if (!Save(*place.hive)) {
        place.hive->content = std::move(before);
        return RegistryStatus::kFailed;
    }
    return RegistryStatus::kOk;
}

RegistryStatus WineRegistry::DeleteValue(RegistryRoot root, const std::string& subkey, const std::string& name) {
    Place place;
    if (!Locate(root, subkey, place) || place.users_root) return RegistryStatus::kNotFound;
    if (!Load(*place.hive)) return RegistryStatus::kFailed;
    RegistryValue existing;
    if (!place.hive->content->QueryValue(place.path, name, existing)) return RegistryStatus::kNotFound;
    if (!WriteRefusal().empty()) return RegistryStatus::kLocked;
    WineRegistryFile before = *place.hive->content;
    place.hive->content->DeleteValue(place.path, name, Now());
    if (!Save(*place.hive)) {
        place.hive->content = std::move(before);
        return RegistryStatus::kFailed;
    }
    return RegistryStatus::kOk;
}

}  // namespace zel::platform
