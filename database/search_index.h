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
// almost every probe; the rest are looked up in a sorted key table and verified against the whole
// signature.
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
    // Builds the index over `records` as they are now; `changes` is the owner's change counter
    // at this moment.
    SearchIndex(const std::vector<std::unique_ptr<CTrojan2>>& records, std::uint64_t changes);

    // True when nothing the search depends on has changed since the index was built.
    bool IsCurrent(std::uint64_t changes) const { return changes == m_builtAtChange; }

    // The lowest record index >= start with a matching signature, or -1.
    int Find(const BYTE* buffer, int length, int start, int mode) const;

private:
    struct Pattern {
        std::array<BYTE, 48> windows;
        std::array<std::uint32_t, 3> offsets;
        std::vector<int> records;  // ascending
    };
    // One key of a lookup table: 8 bytes of window 0 and, for mode 0, the window's offset, for the
    // anywhere table the position of the 8 bytes within the window.
    struct Key {
        std::uint32_t offset;
        std::uint64_t prefix;
        std::uint32_t pattern;
    };

    void BuildFixedTable();
    void BuildAnywhereTable();
    // The filter word of `prefix` and the bits it sets there.
    std::uint64_t FilterWord(std::uint64_t prefix) const;
    static std::uint64_t FilterMask(std::uint64_t prefix);
    bool FilterPasses(std::uint64_t prefix) const;
    // The first record >= start of `pattern`, or INT32_MAX.
    int FirstRecordFrom(const Pattern& pattern, int start) const;
    bool MatchesFixed(const Pattern& pattern, const BYTE* buffer, int length) const;
    bool MatchesAnywhereAt(const Pattern& pattern, const BYTE* buffer, int length, std::int64_t q) const;
    int FindFixed(const BYTE* buffer, int length, int start) const;
    int FindAnywhere(const BYTE* buffer, int length, int start) const;

    std::vector<Pattern> m_patterns;
    std::vector<Key> m_fixed;     // sorted by (offset, prefix)
    std::vector<Key> m_anywhere;  // sorted by prefix; `offset` is the piece's place in window 0
    std::vector<std::uint64_t> m_filter;
    int m_filterWordShift = 64;
    std::uint64_t m_builtAtChange;
};

}  // namespace zel::database
