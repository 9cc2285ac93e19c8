#include "database/trojan2.h"

#include <algorithm>

CTrojan2::CTrojan2(const CTrojan2& other)
    : m_version(other.m_version), m_typeIndex(other.m_typeIndex), m_nameIndex(other.m_nameIndex),
      m_cureFlags(other.m_cureFlags), m_signatures(other.m_signatures) {
    CopyRegentries(other);
}

CTrojan2& CTrojan2::operator=(const CTrojan2& other) {
    if (this == &other) return *this;
    m_version = other.m_version;
    m_typeIndex = other.m_typeIndex;
    m_nameIndex = other.m_nameIndex;
    m_cureFlags = other.m_cureFlags;
    CopyRegentries(other);
    m_signatures = other.m_signatures;
    BindSignatures();
    NoteChange();
    return *this;
}

CTrojan2::~CTrojan2() = default;

void CTrojan2::BindChangeCounter(std::uint64_t* counter) {
    m_changeCounter = counter;
    BindSignatures();
}

void CTrojan2::BindSignatures() {
    for (auto& signature : m_signatures) signature.BindChangeCounter(m_changeCounter);
}

void CTrojan2::AddImage(CString image) {
    if (GetSignature(image) != nullptr || GetSignatureCount() >= kMaxSignatures) return;
    CSignature signature;
    signature.SetImagePath(image);
    m_signatures.push_back(signature);
    BindSignatures();
    NoteChange();
}

void CTrojan2::RemoveImage(CString image) {
    auto it = std::find_if(m_signatures.begin(), m_signatures.end(),
                           [&](const CSignature& s) { return s.GetImagePath() == image; });
    if (it == m_signatures.end()) return;
    m_signatures.erase(it);
    NoteChange();
}

CSignature* CTrojan2::GetSignature(const CString& image) {
    for (auto& signature : m_signatures) {
        if (signature.GetImagePath() == image) return &signature;
    }
    return nullptr;
}

void CTrojan2::CopyRegentries(const CTrojan2& other) {
    m_regentryCount = other.m_regentryCount;
    m_regentries.reset(m_regentryCount ? new WORD[m_regentryCount] : nullptr);
    std::copy(other.m_regentries.get(), other.m_regentries.get() + m_regentryCount, m_regentries.get());
}

void CTrojan2::AddRegentry(WORD entry) {
    if (FindRegentry(entry) || m_regentryCount >= kMaxRegentries) return;
    std::unique_ptr<WORD[]> grown(new WORD[m_regentryCount + 1u]);
    std::copy(m_regentries.get(), m_regentries.get() + m_regentryCount, grown.get());
    grown[m_regentryCount++] = entry;
    m_regentries = std::move(grown);
}

void CTrojan2::RemoveRegentry(WORD entry) {
    for (int i = 0; i < m_regentryCount; ++i) {
        if (m_regentries[i] == entry) {
            m_regentries[i] = m_regentries[m_regentryCount - 1];
            --m_regentryCount;
            return;
        }
    }
}

int CTrojan2::FindRegentry(WORD entry) const {
    const WORD* begin = m_regentries.get();
    const WORD* end = begin + m_regentryCount;
    return std::find(begin, end, entry) != end ? 1 : 0;
}

void CTrojan2::LoadImages() {
    for (auto& signature : m_signatures) signature.AttachFile();
}

void CTrojan2::UnloadImages() {
    for (auto& signature : m_signatures) signature.DetachFile();
}

int CTrojan2::IsImagesLoaded() const {
    return std::all_of(m_signatures.begin(), m_signatures.end(),
                       [](const CSignature& s) { return s.IsFileAttached() != 0; })
               ? 1
               : 0;
}

void CTrojan2::RerollSignatures() {
    for (auto& signature : m_signatures) signature.ExtractRandomSignatures();
}

void CTrojan2::RerollSignatures(std::uint32_t deadline_tick) {
    for (auto& signature : m_signatures) signature.ExtractRandomSignatures(deadline_tick);
}

void CTrojan2::ResetAllSignatures() {
    for (auto& signature : m_signatures) signature.ResetSignatures();
}

int CTrojan2::AcceptAnotherTrojan(const CTrojan2* other) const {
    for (const auto& mine : m_signatures) {
        for (const auto& theirs : other->m_signatures) {
            if (!mine.AcceptAnotherSignature(theirs)) return 0;
        }
    }
    return 1;
}

int CTrojan2::FindMe(const BYTE* buffer, int length, int mode) const {
    for (const auto& signature : m_signatures) {
        if (mode ? signature.FindMeEx(buffer, length) : signature.FindMe(buffer, length)) return 1;
    }
    return 0;
}

void CTrojan2::Serialize(CArchive& archive) {
    if (archive.IsStoring()) {
        archive << m_typeIndex << m_nameIndex << m_version << m_cureFlags << m_regentryCount;
        for (int i = 0; i < m_regentryCount; ++i) archive << m_regentries[i];
        archive << static_cast<BYTE>(m_signatures.size());
        for (auto& signature : m_signatures) signature.Serialize(archive);
        return;
    }
    BYTE regentry_count;
    archive >> m_typeIndex >> m_nameIndex >> m_version >> m_cureFlags >> regentry_count;
    std::unique_ptr<WORD[]> regentries(regentry_count ? new WORD[regentry_count] : nullptr);
    for (int i = 0; i < regentry_count; ++i) archive >> regentries[static_cast<size_t>(i)];
    m_regentryCount = regentry_count;
    m_regentries = std::move(regentries);
    BYTE count;
    archive >> count;
    // Each stored signature takes at least 61 bytes: a count beyond the data left is a truncation.
    constexpr std::uint64_t kMinimumStoredSignature = 48 + 12 + 1;
    if (count * kMinimumStoredSignature > archive.GetRemaining()) {
        throw CArchiveException(CArchiveException::endOfFile, "signature count beyond the data left");
    }
    if (count == 0) return;
    NoteChange();
    // Reserved up front: no later growth can copy the bound signatures into unbound ones.
    m_signatures.reserve(m_signatures.size() + count);
    for (int i = 0; i < count; ++i) {
        // Read in place (a copy would construct every signature twice); a signature that cannot
        // be read whole is not kept.
        m_signatures.emplace_back();
        try {
            m_signatures.back().Serialize(archive);
        } catch (...) {
            m_signatures.pop_back();
            throw;
        }
        m_signatures.back().BindChangeCounter(m_changeCounter);
    }
}
