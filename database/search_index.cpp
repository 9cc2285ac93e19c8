#include "database/search_index.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

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
// How many patterns ahead the anywhere table's build fetches the places it will write.
constexpr std::size_t kFetchAhead = 8;

}  // namespace

SearchIndex::SearchIndex(const std::vector<std::unique_ptr<CTrojan2>>& records, std::uint64_t changes)
    : m_builtAtChange(changes) {
    FoldPatterns(records);
}

// Every searchable signature becomes a pattern, in record order. Sorting the keys of the
// stored-offsets table by (offset, prefix, whole content, pattern) brings equal signatures side by
// side: the first of each run (the lowest record) stands for the run and takes the records of the
// run, ascending; the others keep no records and take part in no search.
void SearchIndex::FoldPatterns(const std::vector<std::unique_ptr<CTrojan2>>& records) {
    std::size_t signatures = 0;
    for (const auto& record : records) signatures += static_cast<std::size_t>(record->GetSignatureCount());
    m_patterns.reserve(signatures);
    std::vector<std::uint32_t> owners;
    owners.reserve(signatures);
    for (std::size_t r = 0; r < records.size(); ++r) {
        const CTrojan2& record = *records[r];
        for (int s = 0; s < record.GetSignatureCount(); ++s) {
            const CSignature& signature = record.GetSignature(s);
            if (!signature.IsSearchable()) continue;
            Pattern& pattern = m_patterns.emplace_back();
            for (int slot = 0; slot < CSignature::kSlots; ++slot) {
                std::memcpy(pattern.windows.data() + slot * kWindow, signature.GetWindow(slot), kWindow);
                pattern.offsets[static_cast<std::size_t>(slot)] = signature.GetOffset(slot);
            }
            owners.push_back(static_cast<std::uint32_t>(r));
        }
    }
    m_fixed.reserve(m_patterns.size());
    for (std::uint32_t p = 0; p < m_patterns.size(); ++p) {
        m_fixed.push_back({m_patterns[p].offsets[0], p, Load64(m_patterns[p].windows.data())});
    }
    auto same_content = [this](const FixedKey& a, const FixedKey& b) {
        const Pattern& x = m_patterns[a.pattern];
        const Pattern& y = m_patterns[b.pattern];
        return a.offset == b.offset && a.prefix == b.prefix && x.windows == y.windows && x.offsets == y.offsets;
    };
    std::sort(m_fixed.begin(), m_fixed.end(), [this](const FixedKey& a, const FixedKey& b) {
        if (a.offset != b.offset) return a.offset < b.offset;
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        const Pattern& x = m_patterns[a.pattern];
        const Pattern& y = m_patterns[b.pattern];
        if (x.windows != y.windows) return x.windows < y.windows;
        if (x.offsets != y.offsets) return x.offsets < y.offsets;
        return a.pattern < b.pattern;
    });
    std::vector<std::uint32_t> stands_for(m_patterns.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_fixed.size(); ++i) {
        if (kept > 0 && same_content(m_fixed[kept - 1], m_fixed[i])) {
            stands_for[m_fixed[i].pattern] = m_fixed[kept - 1].pattern;
            continue;
        }
        stands_for[m_fixed[i].pattern] = m_fixed[i].pattern;
        m_fixed[kept++] = m_fixed[i];
    }
    m_fixed.resize(kept);
    for (std::uint32_t i = 0; i < m_fixed.size(); ++i) {
        if (i == 0 || m_fixed[i].offset != m_fixed[i - 1].offset) m_fixedGroups.push_back(i);
    }
    m_fixedGroups.push_back(static_cast<std::uint32_t>(m_fixed.size()));
    // Counts first (a record that holds a signature twice counts once), then the records in place.
    std::vector<std::uint32_t> last(m_patterns.size(), UINT32_MAX);
    for (std::size_t p = 0; p < m_patterns.size(); ++p) {
        std::uint32_t standing = stands_for[p];
        if (last[standing] == owners[p]) continue;
        last[standing] = owners[p];
        ++m_patterns[standing].endRecord;
    }
    std::uint32_t total = 0;
    for (Pattern& pattern : m_patterns) {
        pattern.firstRecord = total;
        total += pattern.endRecord;
        pattern.endRecord = pattern.firstRecord;
    }
    m_patternRecords.resize(total);
    for (std::size_t p = 0; p < m_patterns.size(); ++p) {
        Pattern& pattern = m_patterns[stands_for[p]];
        if (pattern.endRecord > pattern.firstRecord && m_patternRecords[pattern.endRecord - 1] == owners[p]) continue;
        m_patternRecords[pattern.endRecord++] = owners[p];
    }
}

void SearchIndex::Prepare(int mode) {
    if (mode && !m_anywhereBuilt) {
        BuildAnywhereTable();
        m_anywhereBuilt = true;
    }
}

// Every pattern is keyed by each of the eight 8-byte pieces of window 0 that start in its first
// 8 bytes. A window starting at q always holds one of them at the next multiple of 8 at or after
// q, so the search needs to probe only every 8th buffer position. The keys are laid out grouped by
// their filter word (counted, then placed), which costs no sort. Both passes touch the filter and
// the groups at random: the places that a pattern a few steps ahead will touch are fetched early.
void SearchIndex::BuildAnywhereTable() {
    // A database too large for a key to name its pattern would take hundreds of gigabytes.
    if (m_patterns.size() > UINT32_MAX / kProbeStride) throw std::length_error("too many signatures to index");
    std::size_t keys = 0;
    for (const Pattern& pattern : m_patterns) keys += HasRecords(pattern) ? kProbeStride : 0;
    int log2 = kMinFilterLog2;
    while (log2 < kMaxFilterLog2 && (std::uint64_t{1} << log2) < keys * kFilterBitsPerKey) ++log2;
    m_filterWordShift = 64 - (log2 - 6);
    const std::size_t words = std::size_t{1} << (log2 - 6);
    m_filter.assign(words, 0);
    m_anywhereGroups.assign(words + 1, 0);
    auto word_of = [this](std::size_t p, std::uint32_t k) {
        return FilterWord(Load64(m_patterns[p].windows.data() + k));
    };
    for (std::size_t p = 0; p < m_patterns.size(); ++p) {
        for (std::uint32_t k = 0; p + kFetchAhead < m_patterns.size() && k < kProbeStride; ++k) {
            std::uint64_t word = word_of(p + kFetchAhead, k);
            __builtin_prefetch(&m_filter[word], 1);
            __builtin_prefetch(&m_anywhereGroups[word + 1], 1);
        }
        if (!HasRecords(m_patterns[p])) continue;
        for (std::uint32_t k = 0; k < kProbeStride; ++k) {
            std::uint64_t prefix = Load64(m_patterns[p].windows.data() + k);
            std::uint64_t word = FilterWord(prefix);
            m_filter[word] |= FilterMask(prefix);
            ++m_anywhereGroups[word + 1];
        }
    }
    for (std::size_t w = 0; w < words; ++w) m_anywhereGroups[w + 1] += m_anywhereGroups[w];
    std::vector<std::uint32_t> next(m_anywhereGroups.begin(), m_anywhereGroups.end() - 1);
    m_anywhere.resize(keys);
    for (std::size_t p = 0; p < m_patterns.size(); ++p) {
        for (std::uint32_t k = 0; p + 2 * kFetchAhead < m_patterns.size() && k < kProbeStride; ++k) {
            __builtin_prefetch(&next[word_of(p + 2 * kFetchAhead, k)], 1);
        }
        for (std::uint32_t k = 0; p + kFetchAhead < m_patterns.size() && k < kProbeStride; ++k) {
            __builtin_prefetch(&m_anywhere[next[word_of(p + kFetchAhead, k)]], 1);
        }
        if (!HasRecords(m_patterns[p])) continue;
        for (std::uint32_t k = 0; k < kProbeStride; ++k) {
            m_anywhere[next[word_of(p, k)]++] = static_cast<std::uint32_t>(p) * kProbeStride + k;
        }
    }
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

int SearchIndex::FirstRecordFrom(const Pattern& pattern, int start) const {
    auto begin = m_patternRecords.begin() + pattern.firstRecord;
    auto end = m_patternRecords.begin() + pattern.endRecord;
    auto it = std::lower_bound(begin, end, static_cast<std::uint32_t>(start));
    return it == end ? kNoRecord : static_cast<int>(*it);
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
    for (std::size_t group = 0; group + 1 < m_fixedGroups.size() && best != start; ++group) {
        auto begin = m_fixed.begin() + m_fixedGroups[group];
        auto end = m_fixed.begin() + m_fixedGroups[group + 1];
        std::uint32_t offset = begin->offset;
        if (std::uint64_t{offset} + kWindow >= static_cast<std::uint64_t>(length)) break;
        std::uint64_t prefix = Load64(buffer + offset);
        auto first = end - begin == 1
                         ? begin
                         : std::lower_bound(begin, end, prefix, [](const FixedKey& key, std::uint64_t value) {
                               return key.prefix < value;
                           });
        for (auto it = first; it != end && it->prefix == prefix; ++it) {
            const Pattern& pattern = m_patterns[it->pattern];
            int record = FirstRecordFrom(pattern, start);
            if (record < best && MatchesFixed(pattern, buffer, length)) best = record;
        }
    }
    return best == kNoRecord ? -1 : best;
}

// Whether a search that scans for window 0's first byte would examine position q and find the
// pattern there. The scan gives up once fewer than 49 bytes follow a failed candidate, so a
// position in the last 48 bytes is examined only if no earlier occurrence of the byte lies there.
bool SearchIndex::MatchesAnywhereAt(const Pattern& pattern, const BYTE* buffer, int length, std::int64_t q) const {
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
    // Patterns already decided in this search; made only when a probe first meets a real key.
    std::vector<bool> settled;
    const std::int64_t last = length - kWindow;  // the last position a window can start at
    for (std::int64_t probe = 0; probe <= last + kProbeStride - 1; probe += kProbeStride) {
        std::uint64_t piece = Load64(buffer + probe);
        std::uint64_t word = FilterWord(piece);
        std::uint64_t mask = FilterMask(piece);
        if ((m_filter[word] & mask) != mask) continue;
        for (std::uint32_t i = m_anywhereGroups[word]; i < m_anywhereGroups[word + 1]; ++i) {
            const std::uint32_t p = m_anywhere[i] / kProbeStride;
            const std::uint32_t place = m_anywhere[i] % kProbeStride;
            const Pattern& pattern = m_patterns[p];
            if (Load64(pattern.windows.data() + place) != piece) continue;
            std::int64_t q = probe - place;
            if (q < 0 || q > last) continue;
            if (settled.empty()) settled.assign(m_patterns.size(), false);
            if (settled[p]) continue;
            int record = FirstRecordFrom(pattern, start);
            if (record >= best) {
                settled[p] = true;
                continue;
            }
            if (MatchesAnywhereAt(pattern, buffer, length, q)) {
                best = record;
                settled[p] = true;
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
