#include "platform/wine/wine_registry.h"

#include <sys/stat.h>
#include <chrono>
#include <filesystem>

#include "platform/files.h"
#include "platform/wine/wine_server.h"

namespace zel::platform {
namespace {

// FILETIME of the Unix epoch, in 100 ns units.
constexpr std::uint64_t kEpochFiletime = 116444736000000000ull;

}  // namespace

WineRegistry::Hive::Stamp WineRegistry::StampOf(const struct stat& info) {
    return {static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec,
            static_cast<long long>(info.st_size), static_cast<long long>(info.st_ino)};
}

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

RegistryStatus WineRegistry::Fail(RegistryStatus status, std::string reason) {
    m_failure = std::move(reason);
    return status;
}

bool WineRegistry::Load(Hive& hive) {
    struct stat info {};
    Hive::Stamp stamp;
    if (::stat(hive.file.c_str(), &info) == 0) stamp = StampOf(info);
    if ((hive.content || !hive.problem.empty()) && stamp == hive.stamp) return hive.content.has_value();
    hive.stamp = stamp;
    hive.content.reset();
    hive.problem.clear();
    std::string bytes, reason;
    switch (ReadRegularFile(hive.file, bytes, reason)) {
        case ReadOutcome::kMissing:
            // A hive that has no file yet is empty; it is written on the first change, naming the
            // architecture the prefix's other hives name (Wine loads no prefix whose hives differ).
            hive.content = WineRegistryFile::CreateEmpty(hive.relative_to, PrefixArch());
            return true;
        case ReadOutcome::kFailed: hive.problem = hive.file + ": " + reason; return false;
        case ReadOutcome::kOk: break;
    }
    std::string error;
    hive.content = WineRegistryFile::Parse(bytes, error);
    if (!hive.content) hive.problem = hive.file + ": " + error;
    return hive.content.has_value();
}

bool WineRegistry::Save(Hive& hive, const std::string& bytes) {
    // A hive that is a link is written where it leads, and only inside the prefix: a link must
    // not carry our edit to a file elsewhere, nor be replaced by a plain file.
    ResolvedPath place = ResolvePath(hive.file);
    if (place.through_link && !IsWithinFolder(place.real, CanonicalPath(m_prefix))) {
        m_failure = hive.file + " leads through a symbolic link to " + place.real +
                    ", outside the Wine prefix, so it is left alone";
        return false;
    }
    std::error_code ignored;
    std::filesystem::create_directories(m_prefix, ignored);
    std::string reason;
    if (!WriteFileAtomically(place.real, bytes, reason)) {
        m_failure = hive.file + ": " + reason;
        return false;
    }
    // Our own save must not count as a change made by someone else.
    struct stat info {};
    if (::stat(hive.file.c_str(), &info) == 0) hive.stamp = StampOf(info);
    return true;
}

RegistryStatus WineRegistry::Edit(Hive& hive, const std::string& path,
                                  const std::function<void(WineRegistryFile&)>& edit,
                                  const std::function<bool(const WineRegistryFile&)>& holds) {
    if (std::string refusal = WriteRefusal(); !refusal.empty()) return Fail(RegistryStatus::kLocked, refusal);
    WineRegistryFile edited = *hive.content;
    edit(edited);
    std::string bytes = edited.Serialize();
    // What Wine will read is what the bytes say, not what we meant: read them back before writing.
    std::string error;
    auto reread = WineRegistryFile::Parse(bytes, error);
    if (!reread || reread->BlockCount() != edited.BlockCount() || reread->Values(path) != edited.Values(path) ||
        !holds(*reread)) {
        return Fail(RegistryStatus::kFailed,
                    hive.file + ": the edited file would not read back as edited, so it is left as it was");
    }
    if (!Save(hive, bytes)) return RegistryStatus::kFailed;
    hive.content = std::move(reread);
    return RegistryStatus::kOk;
}

std::string WineRegistry::PrefixArch() const {
    for (const auto& hive : m_hives) {
        std::string bytes, ignored;
        if (ReadRegularFile(hive.file, bytes, ignored) != ReadOutcome::kOk) continue;
        if (std::string arch = WineRegistryFile::ArchOf(bytes); !arch.empty()) return arch;
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
    if (!Load(*place.hive)) return Fail(RegistryStatus::kFailed, place.hive->problem);
    return place.hive->content->HasKey(place.path) ? RegistryStatus::kOk : RegistryStatus::kNotFound;
}

RegistryStatus WineRegistry::CreateKey(RegistryRoot root, const std::string& subkey) {
    Place place;
    if (!Locate(root, subkey, place)) return Fail(RegistryStatus::kFailed, "no such registry root or user");
    if (place.users_root) return RegistryStatus::kOk;
    // Never overwrite a file we cannot read.
    if (!Load(*place.hive)) return Fail(RegistryStatus::kFailed, place.hive->problem);
    if (place.hive->content->HasKey(place.path)) return RegistryStatus::kOk;
    const std::string& path = place.path;
    return Edit(
        *place.hive, path, [&](WineRegistryFile& file) { file.CreateKey(path, Now()); },
        [&](const WineRegistryFile& file) { return file.HasKey(path); });
}

RegistryStatus WineRegistry::EnumValue(RegistryRoot root, const std::string& subkey, std::size_t index,
                                       RegistryValue& value) {
    Place place;
    if (!Locate(root, subkey, place) || place.users_root) return RegistryStatus::kNotFound;
    if (!Load(*place.hive)) return Fail(RegistryStatus::kFailed, place.hive->problem);
    return place.hive->content->EnumValue(place.path, index, value) ? RegistryStatus::kOk : RegistryStatus::kNotFound;
}

RegistryStatus WineRegistry::QueryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                                        RegistryValue& value) {
    Place place;
    if (!Locate(root, subkey, place) || place.users_root) return RegistryStatus::kNotFound;
    if (!Load(*place.hive)) return Fail(RegistryStatus::kFailed, place.hive->problem);
    return place.hive->content->QueryValue(place.path, name, value) ? RegistryStatus::kOk : RegistryStatus::kNotFound;
}

RegistryStatus WineRegistry::SetValue(RegistryRoot root, const std::string& subkey, const RegistryValue& value) {
    Place place;
    if (!Locate(root, subkey, place)) return RegistryStatus::kNotFound;
    if (place.users_root || JoinKeyPath("", place.path).empty()) {
        return Fail(RegistryStatus::kFailed, "values cannot be stored at the top of a hive");
    }
    if (!Load(*place.hive)) return Fail(RegistryStatus::kFailed, place.hive->problem);
    if (!place.hive->content->HasKey(place.path)) return RegistryStatus::kNotFound;
    const std::string& path = place.path;
    return Edit(
        *place.hive, path, [&](WineRegistryFile& file) { file.SetValue(path, value, Now()); },
        [&](const WineRegistryFile& file) {
            RegistryValue stored;
            return file.QueryValue(path, value.name, stored) && stored.type == value.type && stored.data == value.data;
        });
}

RegistryStatus WineRegistry::DeleteValue(RegistryRoot root, const std::string& subkey, const std::string& name) {
    Place place;
    if (!Locate(root, subkey, place) || place.users_root) return RegistryStatus::kNotFound;
    if (!Load(*place.hive)) return Fail(RegistryStatus::kFailed, place.hive->problem);
    RegistryValue existing;
    if (!place.hive->content->QueryValue(place.path, name, existing)) return RegistryStatus::kNotFound;
    const std::string& path = place.path;
    return Edit(
        *place.hive, path, [&](WineRegistryFile& file) { file.DeleteValue(path, name, Now()); },
        [&](const WineRegistryFile& file) {
            RegistryValue left;
            return !file.QueryValue(path, name, left);
        });
}

}  // namespace zel::platform
