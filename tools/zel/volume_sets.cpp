#include "tools/zel/volume_sets.h"

#include <cctype>
#include <memory>

#include "archive/qv_archive.h"
#include "platform/files.h"

namespace zel::cli {
namespace {

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The folder part of `path`, up to and including its last "/"; "" for a bare name.
std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> FirstVolumeCandidates(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> candidates;
    std::string folder = FolderOf(path);
    std::string name = path.substr(folder.size());
    std::string lower = Lower(name);
    std::size_t dot = lower.rfind('.');
    if (dot == std::string::npos || dot == 0) return candidates;
    std::string stem = name.substr(0, dot);
    std::string extension = lower.substr(dot + 1);
    // name.part2.rar: the first volume is name.part1.rar, numbered with as many digits.
    std::size_t part = Lower(stem).rfind(".part");
    if (extension == "rar" && part != std::string::npos && AllDigits(stem.substr(part + 5))) {
        std::string digits = stem.substr(part + 5);
        std::size_t first_digit = digits.find_first_not_of('0');
        bool later = first_digit != std::string::npos && digits.substr(first_digit) != "1";
        if (later) {
            std::string one = std::string(digits.size() - 1, '0') + "1";
            candidates.emplace_back(folder + stem.substr(0, part + 5) + one + name.substr(dot), "rar");
        }
        return candidates;
    }
    // name.r00, name.s00 (RAR's older naming) and name.c00 (ACE): the first volume has the
    // format's own extension, in either letter case.
    if (extension.size() == 3 && AllDigits(extension.substr(1))) {
        std::string type = extension[0] == 'c' ? "ace" : extension[0] == 'r' || extension[0] == 's' ? "rar" : "";
        if (type.empty()) return candidates;
        std::string upper = type;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        candidates.emplace_back(folder + stem + "." + type, type);
        candidates.emplace_back(folder + stem + "." + upper, type);
    }
    return candidates;
}

VolumeSets::VolumeSets(const ScanOptions& options) : m_options(options) {
    for (const auto& path : options.paths) m_named.insert(platform::CanonicalPath(path));
}

VolumeSets::Covered VolumeSets::CoveredBy(const std::string& path, bool named) {
    for (const auto& [first, type] : FirstVolumeCandidates(path)) {
        // The first volume must be scanned in this run, by the same walk: a regular file beside a
        // volume that a folder walk found (and not left out), or a path the user named too.
        if (platform::KindOf(first) != platform::EntryKind::file) continue;
        if (named ? !m_named.count(platform::CanonicalPath(first)) : m_options.filter.ExcludesFile(first)) continue;
        if (FollowedFrom(first, type).count(platform::CanonicalPath(path))) return {first, type};
    }
    return {};
}

std::set<std::string> VolumeSets::FollowedFrom(const std::string& first, const std::string& type) {
    std::string key = platform::CanonicalPath(first);
    {
        std::lock_guard lock(m_mutex);
        if (auto known = m_followed.find(key); known != m_followed.end()) return known->second;
    }
    std::set<std::string> followed;
    for (auto& reader : CQVArchiveEngine::CreateAllUnpackers(first.c_str())) {
        if (reader->GetType() != type || !reader->Open(first.c_str())) continue;
        for (const std::string& volume : reader->GetFollowedVolumes()) followed.insert(platform::CanonicalPath(volume));
    }
    std::lock_guard lock(m_mutex);
    return m_followed.emplace(key, std::move(followed)).first->second;
}

}  // namespace zel::cli
