#include "cure/cure_files.h"

#include <filesystem>

#include "platform/files.h"
#include "sysutil/text_buffer.h"

namespace zel::cure {

bool SameFile(const std::string& a, const std::string& b) {
    // Only absolute paths name files on disk (an unmapped Windows path or "System" never does).
    return std::filesystem::path(a).is_absolute() && std::filesystem::path(b).is_absolute() &&
           platform::CanonicalPath(a) == platform::CanonicalPath(b);
}

CureFiles::CureFiles(platform::SystemRoot* root, CureReport& report) : m_root(root), m_report(report) {}

CureFiles::Place CureFiles::DiskPlace(const std::string& disk_path) const {
    Place place{disk_path, {}};
    if (m_root) place.areas.push_back(platform::CanonicalPath(m_root->Folder()));
    return place;
}

CureFiles::Place CureFiles::PlaceIn(const std::string& folder_windows_path, const std::string& disk_path) const {
    Place place = DiskPlace(disk_path);
    if (m_root) {
        std::string drive = m_root->DriveFolder(folder_windows_path);
        if (!drive.empty()) place.areas.push_back(platform::CanonicalPath(drive));
    }
    return place;
}

CureFiles::Place CureFiles::WindowsPlace(const std::string& windows_path) const {
    return PlaceIn(windows_path, m_root ? m_root->ToDiskPath(windows_path) : std::string());
}

std::string CureFiles::RealPlace(const Place& place, std::string& refusal) const {
    platform::ResolvedPath resolved = platform::ResolvePath(place.disk);
    if (!resolved.through_link) return resolved.real;
    for (const auto& area : place.areas) {
        if (platform::IsWithinFolder(resolved.real, area)) return resolved.real;
    }
    refusal = "it leads through a symbolic link to " + resolved.real + ", outside the system root, so it is left alone";
    return "";
}

void CureFiles::Fail(const Step& step, const std::string& target, const std::string& reason) {
    m_report.Fail(CureFailure{step.step, step.subject, target, step.action, reason});
}

bool CureFiles::Delete(const Place& place, const Step& step, bool missing_fails) {
    if (place.disk.empty()) return !missing_fails;
    switch (platform::KindOfTarget(place.disk)) {
        case platform::EntryKind::missing:
            if (missing_fails) Fail(step, place.disk, "it does not exist");
            return !missing_fails;
        case platform::EntryKind::file: break;
        default:
            Fail(step, place.disk, "it is " + platform::NonRegularKind(place.disk) + ", not a regular file");
            return false;
    }
    std::string reason;
    std::string real = RealPlace(place, reason);
    if (real.empty() || !platform::RemoveFile(real, reason)) {
        Fail(step, place.disk, reason);
        return false;
    }
    return true;
}

bool CureFiles::Load(const Place& place, const Step& step, CTextBuffer& buffer) {
    if (place.disk.empty() || platform::KindOfTarget(place.disk) == platform::EntryKind::missing) return false;
    // A link out of the root is left alone unread: what it leads to is none of the cure's business.
    std::string reason;
    std::string real = RealPlace(place, reason);
    if (!real.empty() && buffer.LoadFile(real, &reason)) return true;
    if (!reason.empty()) Fail(step, place.disk, reason);
    return false;
}

bool CureFiles::Examine(const Place& place, const Step& step) {
    std::string refusal;
    if (!RealPlace(place, refusal).empty()) return true;
    Fail(step, place.disk, refusal);
    return false;
}

bool CureFiles::Save(const Place& place, const Step& step, const CTextBuffer& buffer) {
    if (place.disk.empty()) return false;
    std::string reason;
    std::string real = RealPlace(place, reason);
    if (real.empty() || !buffer.SaveFile(real, &reason)) {
        Fail(step, place.disk, reason);
        return false;
    }
    return true;
}

}  // namespace zel::cure
