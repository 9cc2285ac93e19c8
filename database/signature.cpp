#include "database/signature.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "database/random.h"
#include "database/tick_deadline.h"
#include "platform/files.h"
#include "platform/services.h"

namespace {

// A text formatted with printf rules, of any length.
__attribute__((format(printf, 1, 2))) CString Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    CString text;
    if (n > 0) {
        text.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<size_t>(n));
    }
    va_end(again);
    return text;
}

// Reseeds the process-wide generator with the millisecond tick, as every new signature does.
void ReseedFromClock() { zel::database::SeedRandom(zel::platform::CurrentServices().clock->TickCount()); }

}  // namespace

// A copy of an attached file in a buffer of its own, so that no buffer is ever owned twice; none
// when the memory cannot be had.
std::unique_ptr<CSignature::Attachment> CSignature::CopyOf(const Attachment& attachment) {
    auto copy = std::make_unique<Attachment>();
    copy->content.reset(new (std::nothrow) BYTE[static_cast<size_t>(attachment.length == 0 ? 1 : attachment.length)]);
    if (!copy->content) return nullptr;
    std::memcpy(copy->content.get(), attachment.content.get(), static_cast<size_t>(attachment.length));
    copy->length = attachment.length;
    copy->uniqueOffsets = attachment.uniqueOffsets;
    return copy;
}

CSignature::CSignature() {
    ResetSignatures();
    ReseedFromClock();
}

CSignature::CSignature(const CSignature& other) {
    ResetSignatures();
    ReseedFromClock();
    *this = other;
}

// Copies the persistent fields and the counts; the attached file is copied too, into a buffer of
// its own, so that no buffer is ever owned twice.
CSignature& CSignature::operator=(const CSignature& other) {
    if (this == &other) return *this;
    NoteChange();
    std::memcpy(m_bytes, other.m_bytes, sizeof m_bytes);
    std::memcpy(m_offsets, other.m_offsets, sizeof m_offsets);
    m_imagePath = other.m_imagePath;
    m_uniqueCount = other.m_uniqueCount;
    m_attachment.reset();
    if (other.m_attachment) m_attachment = CopyOf(*other.m_attachment);
    return *this;
}

CSignature::~CSignature() = default;

int CSignature::operator==(const CSignature& other) const {
    return std::memcmp(m_offsets, other.m_offsets, sizeof m_offsets) == 0 &&
                   std::memcmp(m_bytes, other.m_bytes, sizeof m_bytes) == 0
               ? 1
               : 0;
}

int CSignature::AttachFile() {
    DetachFile();
    // The image path is stored text; the file system may spell it otherwise.
    const std::string path = zel::platform::FileNameFromAnsi(m_imagePath);
    // A FIFO or device could block the read or never end: only a regular file is a sample.
    if (zel::platform::KindOfTarget(path) != zel::platform::EntryKind::file) return 0;
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareExclusive)) return 0;
    std::uint64_t length = file.GetLength();
    // The length is kept as a signed 32-bit count: larger files cannot be attached.
    if (length > 0x7FFFFFFFu) return 0;
    std::unique_ptr<BYTE[]> content(new (std::nothrow) BYTE[length == 0 ? 1 : length]);
    if (!content) return 0;
    UINT read = file.Read(content.get(), static_cast<UINT>(length));
    file.Close();
    m_attachment = std::make_unique<Attachment>();
    m_attachment->content = std::move(content);
    // A file that shrank while it was read is taken as far as it was read.
    m_attachment->length = static_cast<int>(read);
    EnumSignatures();
    return 1;
}

void CSignature::DetachFile() { m_attachment.reset(); }

// A window is unique when its 16 bytes are pairwise different.
int CSignature::IsValid(const BYTE* window) {
    std::uint64_t seen[4] = {0, 0, 0, 0};
    for (int i = 0; i < kWindowSize; ++i) {
        std::uint64_t bit = std::uint64_t{1} << (window[i] & 63);
        if (seen[window[i] >> 6] & bit) return 0;
        seen[window[i] >> 6] |= bit;
    }
    return 1;
}

// Counts the unique windows and remembers where they are, so that picking the n-th one
// (thousands of times while signatures are generated) costs nothing.
void CSignature::EnumSignatures() {
    m_uniqueCount = 0;
    if (!m_attachment) return;
    std::vector<int>& unique = m_attachment->uniqueOffsets;
    unique.clear();
    const int end = std::min(m_attachment->length, kSearchedBytes) - kWindowSize;
    for (int i = kFirstCandidateOffset; i < end; ++i) {
        if (IsValid(m_attachment->content.get() + i)) unique.push_back(i);
    }
    m_uniqueCount = static_cast<int>(unique.size());
}

void CSignature::ExtractSignature(int slot, int n) {
    if (!m_attachment || slot < 0 || slot >= kSlots || n < 0 || n >= m_uniqueCount ||
        static_cast<size_t>(n) >= m_attachment->uniqueOffsets.size()) {
        return;
    }
    int offset = m_attachment->uniqueOffsets[static_cast<size_t>(n)];
    SetWindow(slot, m_attachment->content.get() + offset, static_cast<DWORD>(offset));
}

void CSignature::ExtractDefaultSignatures() {
    int step = (2 * m_uniqueCount) / 9;
    for (int slot = 0; slot < kSlots; ++slot) ExtractSignature(slot, slot * step);
}

void CSignature::DrawRandomWindows() {
    for (int slot = 0; slot < kSlots; ++slot) {
        int r1 = zel::database::NextRandom();
        int r2 = zel::database::NextRandom();
        ExtractSignature(slot, (r1 * r2) % m_uniqueCount);
    }
    SortAscending();
}

void CSignature::ExtractRandomSignatures() {
    // The same bound as signature generation: 15 seconds from now.
    ExtractRandomSignatures(zel::platform::CurrentServices().clock->TickCount() + 15000u);
}

void CSignature::ExtractRandomSignatures(std::uint32_t deadline_tick) {
    if (!m_attachment || m_uniqueCount <= 3) return;
    zel::platform::Clock& clock = *zel::platform::CurrentServices().clock;
    do {
        DrawRandomWindows();
    } while (!CheckAddresses() && !zel::database::TickDeadlinePassed(deadline_tick, clock.TickCount()));
}

void CSignature::ResetSignatures() {
    std::memset(m_bytes, 0, sizeof m_bytes);
    std::memset(m_offsets, 0, sizeof m_offsets);
    NoteChange();
}

void CSignature::SetWindow(int slot, const BYTE* bytes, DWORD offset) {
    std::memcpy(m_bytes[slot], bytes, kWindowSize);
    m_offsets[slot] = offset;
    NoteChange();
}

void CSignature::SetOffset(int slot, DWORD offset) {
    m_offsets[slot] = offset;
    NoteChange();
}

void CSignature::SortAscending() {
    DWORD offsets[kSlots];
    std::memcpy(offsets, m_offsets, sizeof offsets);
    BYTE sorted_bytes[kSlots][kWindowSize];
    DWORD sorted_offsets[kSlots];
    for (int pass = 0; pass < kSlots; ++pass) {
        int smallest = 0;
        for (int slot = 1; slot < kSlots; ++slot) {
            if (offsets[slot] < offsets[smallest]) smallest = slot;
        }
        sorted_offsets[pass] = offsets[smallest];
        std::memcpy(sorted_bytes[pass], m_bytes[smallest], kWindowSize);
        offsets[smallest] = 0xFFFFFFFFu;
    }
    std::memcpy(m_bytes, sorted_bytes, sizeof m_bytes);
    std::memcpy(m_offsets, sorted_offsets, sizeof m_offsets);
    NoteChange();
}

int CSignature::CheckAddresses() const {
    return m_offsets[1] - m_offsets[0] >= kMinimumSpacing && m_offsets[2] - m_offsets[1] >= kMinimumSpacing ? 1 : 0;
}

bool CSignature::WindowMatches(const BYTE* position, int slot) const {
    return std::memcmp(position, m_bytes[slot], kWindowSize) == 0;
}

bool CSignature::IsSearchable() const {
    std::uint64_t any = 0;
    for (std::size_t i = 0; i < sizeof m_bytes; i += sizeof any) {
        std::uint64_t word;
        std::memcpy(&word, &m_bytes[0][0] + i, sizeof word);
        any |= word;
    }
    return any != 0;
}

int CSignature::FindMe(const BYTE* buffer, int length) const {
    if (length <= 0 || !IsSearchable()) return 0;
    for (int slot = 0; slot < kSlots; ++slot) {
        // Computed in 64 bits: an offset near 2^32 must not wrap around and pass the check.
        if (std::uint64_t{m_offsets[slot]} + kWindowSize >= static_cast<std::uint64_t>(length)) return 0;
        if (!WindowMatches(buffer + m_offsets[slot], slot)) return 0;
    }
    return 1;
}

int CSignature::FindMeEx(const BYTE* buffer, int length) const {
    if (length <= kMinimumAnywhereLength || !IsSearchable()) return 0;
    const BYTE anchor = m_bytes[0][0];
    const BYTE* p = buffer;
    std::int64_t remaining = length;
    for (;;) {
        const void* found = std::memchr(p, anchor, static_cast<size_t>(remaining));
        if (!found) return 0;
        const BYTE* q = static_cast<const BYTE*>(found);
        remaining -= q - p;
        if (remaining < kWindowSize) return 0;
        if (WindowMatches(q, 0)) {
            bool all = true;
            for (int slot = 1; slot < kSlots && all; ++slot) {
                // The distance is the signed 32-bit difference of the offsets.
                std::int64_t d = static_cast<std::int32_t>(m_offsets[slot] - m_offsets[0]);
                // A relative window must end before the last byte and must not lie before the buffer.
                all = d + kWindowSize < remaining && (q - buffer) + d >= 0 && WindowMatches(q + d, slot);
            }
            if (all) return 1;
        }
        remaining -= 1;
        p = q + 1;
        if (remaining <= kMinimumAnywhereLength) return 0;
    }
}

int CSignature::AcceptAnotherSignature(const CSignature& other) const {
    if (!other.IsSearchable()) return 1;
    if (*this == other) return 0;
    if (!m_attachment) return 1;
    return other.FindMe(m_attachment->content.get(), m_attachment->length) ? 0 : 1;
}

void CSignature::Show(CString& text) const {
    text = Format("From \"%s\" file:\r\n", m_imagePath.c_str());
    for (int slot = 0; slot < kSlots; ++slot) {
        text += Format(" %08X: ", static_cast<unsigned>(m_offsets[slot]));
        for (int i = 0; i < kWindowSize; ++i) text += Format(" %02X", m_bytes[slot][i]);
        text += "\r\n";
    }
    text += Format("Total %d unique signatures available\r\n", m_uniqueCount);
    if (m_attachment) {
        text += "File Attached!\r\n";
        text += Format("File len: %xh(%d)\r\n", m_attachment->length, m_attachment->length);
    }
}

void CSignature::Show() const {
    std::printf("From \"%s\" file:\r\n", m_imagePath.c_str());
    for (int slot = 0; slot < kSlots; ++slot) {
        std::printf(" %08X: ", static_cast<unsigned>(m_offsets[slot]));
        for (int i = 0; i < kWindowSize; ++i) std::printf(" %02X", m_bytes[slot][i]);
        std::printf("\r\n");
    }
}

void CSignature::Serialize(CArchive& archive) {
    if (archive.IsStoring()) {
        archive.Write(m_bytes, sizeof m_bytes);
        for (DWORD offset : m_offsets) archive << offset;
        archive << m_imagePath;
    } else {
        NoteChange();
        archive.ReadExact(m_bytes, sizeof m_bytes);
        for (DWORD& offset : m_offsets) archive >> offset;
        archive >> m_imagePath;
    }
}
