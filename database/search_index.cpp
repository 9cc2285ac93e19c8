#include "database/search_index.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace zel::database {
namespace {

constexpr int kWindow = CSignature::kWindowSize;
constexpr int kAnywhereMinimum = CSignature::kMinimumAnywhereLength;
constexpr int kNoRecord = INT_MAX;

std::uint64_t Load64(const BYTE* p) {
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Bits of the anywhere filter per key, three of them set per key in one 64-bit word: well under
// one probe in a hundred passes falsely.
constexpr std::uint64_t kFilterBitsPerKey = 16;
// The anywhere search probes every 8th position of the buffer.
constexpr std::uint32_t kProbeStride = 8;
constexpr int kMinFilterLog2 = 16;
constexpr int kMaxFilterLog2 = 26;

}  // namespace

SearchIndex::SearchIndex(const std::vector<std::unique_ptr<CTrojan2>>& records, std::uint64_t changes)
    : m_builtAtChange(changes) {
    struct Occurrence {
        Pattern pattern;
        int record;
    };
    std::vector<Occurrence> occurrences;
    for (size_t r = 0; r < records.size(); ++r) {
        const CTrojan2& record = *records[r];
        for (int s = 0; s < record.GetSignatureCount(); ++s) {
            const CSignature& signature = record.GetSignature(s);
            if (!signature.IsSearchable()) continue;
            Occurrence occurrence{{}, static_cast<int>(r)};
            for (int slot = 0; slot < CSignature::kSlots; ++slot) {
                std::memcpy(occurrence.pattern.windows.data() + slot * kWindow, signature.GetWindow(slot), kWindow);
                occurrence.pattern.offsets[static_cast<size_t>(slot)] = signature.GetOffset(slot);
            }
            occurrences.push_back(std::move(occurrence));
        }
    }
    // Fold equal signatures into one pattern that lists its records in ascending order.
    auto same_content = [](const Pattern& a, const Pattern& b) {
        return a.windows == b.windows && a.offsets == b.offsets;
    };
    std::stable_sort(occurrences.begin(), occurrences.end(), [](const Occurrence& a, const Occurrence& b) {
        return a.pattern.windows != b.pattern.windows ? a.pattern.windows < b.pattern.windows
                                                      : a.pattern.offsets < b.pattern.offsets;
    });
    for (auto& occurrence : occurrences) {
        if (m_patterns.empty() || !same_content(m_patterns.back(), occurrence.pattern)) {
            m_patterns.push_back(std::move(occurrence.pattern));
        }
        auto& owners = m_patterns.back().records;
        if (owners.empty() || owners.back() != occurrence.record) owners.push_back(occurrence.record);
    }
    BuildFixedTable();
    BuildAnywhereTable();
}

void SearchIndex::BuildFixedTable() {
    m_fixed.reserve(m_patterns.size());
    for (std::uint32_t p = 0; p < m_patterns.size(); ++p) {
        m_fixed.push_back({m_patterns[p].offsets[0], Load64(m_patterns[p].windows.data()), p});
    }
    std::sort(m_fixed.begin(), m_fixed.end(), [](const Key& a, const Key& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.prefix < b.prefix;
    });
}

// Every pattern is keyed by each of the eight 8-byte pieces of window 0 that start in its first
// 8 bytes. A window starting at q always holds one of them at the next multiple of 8 at or after
// q, so the search needs to probe only every 8th buffer position.
void SearchIndex::BuildAnywhereTable() {
    m_anywhere.reserve(m_patterns.size() * kProbeStride);
    for (std::uint32_t p = 0; p < m_patterns.size(); ++p) {
        for (std::uint32_t k = 0; k < kProbeStride; ++k) {
            m_anywhere.push_back({k, Load64(m_patterns[p].windows.data() + k), p});
        }
    }
    std::sort(m_anywhere.begin(), m_anywhere.end(),
              [](const Key& a, const Key& b) { return a.prefix < b.prefix; });
    int log2 = kMinFilterLog2;
    while (log2 < kMaxFilterLog2 && (std::uint64_t{1} << log2) < m_anywhere.size() * kFilterBitsPerKey) ++log2;
    m_filterWordShift = 64 - (log2 - 6);
    m_filter.assign((std::uint64_t{1} << log2) / 64, 0);
    for (const Key& key : m_anywhere) m_filter[FilterWord(key.prefix)] |= FilterMask(key.prefix);
}

std::uint64_t SearchIndex::FilterWord(std::uint64_t prefix) const {
    return (prefix * 0x9E3779B97F4A7C15ull) >> m_filterWordShift;
}

// Three bit positions from the top 18 bits of a second hash.
std::uint64_t SearchIndex::FilterMask(std::uint64_t prefix) {
    std::uint64_t h = prefix * 0xC2B2AE3D27D4EB4Full;
    return (std::uint64_t{1} << (h >> 58)) | (std::uint64_t{1} << ((h >> 52) & 63)) |
           (std::uint64_t{1} << ((h >> 46) & 63));
}

bool SearchIndex::FilterPasses(std::uint64_t prefix) const {
    std::uint64_t mask = FilterMask(prefix);
    return (m_filter[FilterWord(prefix)] & mask) == mask;
}

int SearchIndex::FirstRecordFrom(const Pattern& pattern, int start) const {
    auto it = std::lower_bound(pattern.records.begin(), pattern.records.end(), start);
    return it == pattern.records.end() ? kNoRecord : *it;
}

bool SearchIndex::MatchesFixed(const Pattern& pattern, const BYTE* buffer, int length) const {
    for (int slot = 0; slot < CSignature::kSlots; ++slot) {
        std::uint64_t offset = pattern.offsets[static_cast<size_t>(slot)];
        if (offset + kWindow >= static_cast<std::uint64_t>(length)) return false;
        if (std::memcmp(buffer + offset, pattern.windows.data() + slot * kWindow, kWindow) != 0) return false;
    }
    return true;
}

int SearchIndex::FindFixed(const BYTE* buffer, int length, int start) const {
    int best = kNoRecord;
    size_t i = 0;
    while (i < m_fixed.size()) {
        std::uint32_t offset = m_fixed[i].offset;
        if (std::uint64_t{offset} + kWindow >= static_cast<std::uint64_t>(length)) break;
        size_t group_end = i;
        while (group_end < m_fixed.size() && m_fixed[group_end].offset == offset) ++group_end;
        std::uint64_t prefix = Load64(buffer + offset);
        auto first = std::lower_bound(m_fixed.begin() + static_cast<long>(i), m_fixed.begin() + static_cast<long>(group_end),
                                      prefix, [](const Key& key, std::uint64_t value) { return key.prefix < value; });
        for (auto it = first; it != m_fixed.begin() + static_cast<long>(group_end) && it->prefix == prefix; ++it) {
            const Pattern& pattern = m_patterns[it->pattern];
            int record = FirstRecordFrom(pattern, start);
            if (record < best && MatchesFixed(pattern, buffer, length)) best = record;
        }
        i = group_end;
    }
    return best == kNoRecord ? -1 : best;
}

// Whether a search that scans for window 0's first byte would examine position q and find the
// pattern there. The scan gives up once fewer than 49 bytes follow a failed candidate, so a
// position in the last 48 bytes is examined only if no earlier occurrence of the byte lies there.
bool SearchIndex::MatchesAnywhereAt(const Pattern& pattern, const BYTE* buffer, int length,
                                    std::int64_t q) const {
    const std::int64_t remaining = length - q;
    if (remaining < kWindow) return false;
    if (std::memcmp(buffer + q, pattern.windows.data(), kWindow) != 0) return false;
    if (remaining <= kAnywhereMinimum) {
        const std::int64_t late = length - (kAnywhereMinimum + 1);
        for (std::int64_t i = std::max<std::int64_t>(late, 0); i < q; ++i) {
            if (buffer[i] == pattern.windows[0]) return false;
        }
    }
    for (int slot = 1; slot < CSignature::kSlots; ++slot) {
        std::int64_t d = static_cast<std::int32_t>(pattern.offsets[static_cast<size_t>(slot)] - pattern.offsets[0]);
        if (d + kWindow >= remaining || q + d < 0) return false;
        if (std::memcmp(buffer + q + d, pattern.windows.data() + slot * kWindow, kWindow) != 0) return false;
    }
    return true;
}

int SearchIndex::FindAnywhere(const BYTE* buffer, int length, int start) const {
    if (length <= kAnywhereMinimum || m_anywhere.empty()) return -1;
    int best = kNoRecord;
    std::vector<bool> settled(m_patterns.size(), false);
    const std::int64_t last = length - kWindow;  // the last position a window can start at
    for (std::int64_t probe = 0; probe <= last + kProbeStride - 1; probe += kProbeStride) {
        std::uint64_t piece = Load64(buffer + probe);
        if (!FilterPasses(piece)) continue;
        auto first = std::lower_bound(m_anywhere.begin(), m_anywhere.end(), piece,
                                      [](const Key& key, std::uint64_t value) { return key.prefix < value; });
        for (auto it = first; it != m_anywhere.end() && it->prefix == piece; ++it) {
            std::int64_t q = probe - it->offset;
            if (q < 0 || q > last || settled[it->pattern]) continue;
            const Pattern& pattern = m_patterns[it->pattern];
            int record = FirstRecordFrom(pattern, start);
            if (record >= best) {
                settled[it->pattern] = true;
                continue;
            }
            if (MatchesAnywhereAt(pattern, buffer, length, q)) {
                best = record;
                settled[it->pattern] = true;
            }
        }
        if (best == start) break;
    }
    return best == kNoRecord ? -1 : best;
}

int SearchIndex::Find(const BYTE* buffer, int length, int start, int mode) const {
    if (length <= 0 || m_patterns.empty()) return -1;
    if (start < 0) start = 0;
    return mode ? FindAnywhere(buffer, length, start) : FindFixed(buffer, length, start);
}

}  // namespace zel::database
