// An index over the signatures of a database that answers CTrojanBase2::Find without trying every
// signature on every buffer. It returns exactly what trying each record in order would return.
//
// Signatures that are not searchable (windows never generated) are left out. Signatures with
// identical windows and offsets are folded into one pattern that lists its records.
// Mode 0 (stored offsets): patterns sorted by the offset of window 0 and its first 8 bytes; a search
// reads the buffer once at each distinct offset and looks the 8 bytes up among that offset's patterns.
// Other modes (anywhere): every pattern is keyed by the eight 8-byte pieces that start in the first
// half of window 0, so that probing every 8th buffer position meets each possible start once. A
// bit filter that keeps each key's bits in one 64-bit word (one memory access per probe) rejects
// almost every probe; the keys are grouped by that same word, so the few probes that pass look at a
// handful of keys, and the patterns they name are verified against the whole signature.
//
// The stored-offsets table comes with the index (sorting its keys is also what folds equal
// signatures); the larger anywhere table is built the first time that mode is prepared, so that a
// scanner searching at stored offsets never pays for it. Once a mode is prepared, Find in that mode
// only reads, so several threads may search at once.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "database/trojan2.h"
#include "framework/framework_types.h"

namespace zel::database {

class SearchIndex {
public:
    // Folds the signatures of `records` as they are now into patterns; `changes` is the owner's
    // change counter at this moment.
    SearchIndex(const std::vector<std::unique_ptr<CTrojan2>>& records, std::uint64_t changes);

    // True when nothing the search depends on has changed since the index was built.
    bool IsCurrent(std::uint64_t changes) const { return changes == m_builtAtChange; }

    // Builds the table that searches in `mode` use, unless it is there already (then nothing is
    // written).
    void Prepare(int mode);

    // The lowest record index >= start with a matching signature, or -1. Prepare(mode) first.
    int Find(const BYTE* buffer, int length, int start, int mode) const;

private:
    struct Pattern {
        std::array<BYTE, 48> windows;
        std::array<std::uint32_t, 3> offsets;
        // The pattern's records, ascending: m_patternRecords[firstRecord, endRecord); none for a
        // signature folded into an equal one.
        std::uint32_t firstRecord = 0;
        std::uint32_t endRecord = 0;
    };
    // One key of the stored-offsets table: 8 bytes of window 0 at the window's offset.
    struct FixedKey {
        std::uint32_t offset;
        std::uint32_t pattern;
        std::uint64_t prefix;
    };
    // One key of the anywhere table: the pattern times 8 plus where in window 0 its 8 bytes start
    // (the bytes themselves are read from the pattern: few probes get that far, and a small table
    // is quick to build).
    using AnywhereKey = std::uint32_t;

    static bool HasRecords(const Pattern& pattern) { return pattern.endRecord > pattern.firstRecord; }
    // Makes the patterns, their record lists and the stored-offsets table.
    void FoldPatterns(const std::vector<std::unique_ptr<CTrojan2>>& records);
    void BuildAnywhereTable();
    // The filter word of `prefix` (also its group of anywhere keys) and the bits it sets there.
    std::uint64_t FilterWord(std::uint64_t prefix) const;
    static std::uint64_t FilterMask(std::uint64_t prefix);
    // The first record >= start of `pattern`, or INT32_MAX.
    int FirstRecordFrom(const Pattern& pattern, int start) const;
    bool MatchesFixed(const Pattern& pattern, const BYTE* buffer, int length) const;
    bool MatchesAnywhereAt(const Pattern& pattern, const BYTE* buffer, int length, std::int64_t q) const;
    int FindFixed(const BYTE* buffer, int length, int start) const;
    int FindAnywhere(const BYTE* buffer, int length, int start) const;

    std::vector<Pattern> m_patterns;
    std::vector<std::uint32_t> m_patternRecords;
    std::vector<FixedKey> m_fixed;             // sorted by (offset, prefix)
    std::vector<std::uint32_t> m_fixedGroups;  // where each distinct offset's keys begin, then the end
    bool m_anywhereBuilt = false;
    std::vector<AnywhereKey> m_anywhere;          // grouped by filter word
    std::vector<std::uint32_t> m_anywhereGroups;  // where each filter word's keys begin, then the end
    std::vector<std::uint64_t> m_filter;
    int m_filterWordShift = 64;
    std::uint64_t m_builtAtChange;
};

}  // namespace zel::database
