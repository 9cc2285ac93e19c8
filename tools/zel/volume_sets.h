// Volume sets in `zel scan`: a RAR or ACE set (x.part1.rar, x.part2.rar, ...; name.ace, name.c00,
// ...) is walked from its first volume, through every later one, so a later volume walked on its
// own would report again the entries that begin in it. Such a volume is not walked when the walk of
// its first volume, in this same run, goes through it; otherwise (its first volume absent, left out
// of the scan, or not leading to it) it is walked on its own, so that no trojan can hide in it.
//
// Workers scan files in any order and at the same time, so the answer depends on nothing that a
// worker did before: the first volume is found by the set's naming, and its listing, read once and
// kept, tells which later volumes its walk goes through.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "tools/zel/scan_options.h"

namespace zel::cli {

class VolumeSets {
public:
    explicit VolumeSets(const ScanOptions& options);

    // A later volume covered by the walk of its first volume.
    struct Covered {
        std::string first;  // the first volume, as the scan shows it
        std::string type;   // the format whose walk covers it ("rar" or "ace")
    };

    // What covers the file at `path`; `named` when the user named it (a command-line path), false
    // when a folder walk found it. An empty `first` when nothing does: the file is walked itself.
    Covered CoveredBy(const std::string& path, bool named);

private:
    // The later volumes (canonical paths) that the listing of the `type` archive at `first` goes
    // through; read once per first volume.
    std::set<std::string> FollowedFrom(const std::string& first, const std::string& type);

    const ScanOptions& m_options;
    std::set<std::string> m_named;  // the command-line paths, canonical
    std::mutex m_mutex;
    std::map<std::string, std::set<std::string>> m_followed;  // by first volume, canonical
};

// The names that the first volume of a set could have, when `path` names a later volume by the
// naming of RAR (x.partN.rar with N > 1; x.rNN, x.sNN) or ACE (x.cNN), with the format; nothing
// otherwise.
std::vector<std::pair<std::string, std::string>> FirstVolumeCandidates(const std::string& path);

}  // namespace zel::cli
