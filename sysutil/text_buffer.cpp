#include "sysutil/text_buffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/files.h"
#include "sysutil/text_compare.h"

CTextBuffer::CTextBuffer() = default;

CTextBuffer::CTextBuffer(const char* text) {
    if (text) Assign(CString(text));
}

CTextBuffer::~CTextBuffer() = default;

void CTextBuffer::Assign(CString content) {
    m_data = std::move(content);
    m_length = static_cast<int>(m_data.size());
}

int CTextBuffer::LoadFile(const CString& path, std::string* reason) {
    std::string content, why;
    auto outcome = zel::platform::ReadRegularFile(path, content, why, static_cast<std::uint64_t>(kMaxLength));
    if (reason) *reason = outcome == zel::platform::ReadOutcome::kFailed ? why : "";
    if (outcome != zel::platform::ReadOutcome::kOk) return 0;
    Assign(std::move(content));
    return 1;
}

int CTextBuffer::SetContent(CString bytes) {
    if (static_cast<std::int64_t>(bytes.size()) > kMaxLength) return 0;
    Assign(std::move(bytes));
    return 1;
}

int CTextBuffer::SaveFile(const CString& path, std::string* reason) const {
    std::string why;
    std::string_view content(m_data.data(), static_cast<std::size_t>(m_length));
    bool saved = zel::platform::WriteFileAtomically(path, content, why);
    if (reason) *reason = why;
    return saved ? 1 : 0;
}

const char* CTextBuffer::GetData() const { return m_data.c_str(); }

const char* CTextBuffer::GetAt(int offset) const {
    if (offset < 0 || offset > m_length) return "";
    return m_data.c_str() + offset;
}

void CTextBuffer::Free() { Assign(CString()); }

void CTextBuffer::Insert(const char* text, int pos) {
    if (!text) return;
    if (pos == -1) pos = m_length;
    if (pos < 0 || pos > m_length) return;
    std::size_t count = std::strlen(text);
    if (static_cast<std::int64_t>(m_length) + static_cast<std::int64_t>(count) > kMaxLength) return;
    CString content;
    content.reserve(m_data.size() + count);
    content.append(m_data, 0, static_cast<std::size_t>(pos));
    content.append(text, count);
    content.append(m_data, static_cast<std::size_t>(pos));
    Assign(std::move(content));
}

void CTextBuffer::Erase(int pos, int count) {
    if (pos < 0 || pos >= m_length || count <= 0) return;
    std::int64_t end = std::min<std::int64_t>(static_cast<std::int64_t>(pos) + count, m_length);
    CString content = m_data;
    content.erase(static_cast<std::size_t>(pos), static_cast<std::size_t>(end - pos));
    Assign(std::move(content));
}

bool CTextBuffer::Resolve(int& pos) const {
    if (pos == -1) pos = m_length - 1;
    return pos >= 0 && pos < m_length;
}

int CTextBuffer::FindChar(char ch, int from, int to, int ignoreCase) const {
    // The end test comes before -1 is resolved, so -1 always passes it.
    if (from >= m_length || to >= m_length) return -1;
    if (!Resolve(from) || !Resolve(to)) return -1;
    int step = from <= to ? 1 : -1;
    for (int pos = from;; pos += step) {
        if (CharsEqual(static_cast<BYTE>(m_data[static_cast<std::size_t>(pos)]), static_cast<BYTE>(ch), ignoreCase)) {
            return pos;
        }
        if (pos == to) return -1;
    }
}

int CTextBuffer::FindString(const char* word, int from, int to, int ignoreCase) const {
    if (!word || !*word) return -1;
    if (!Resolve(from) || !Resolve(to)) return -1;
    int step = from > to ? -1 : 1;
    int low = std::min(from, to);
    int high = std::max(from, to);
    int pos = FindChar(word[0], from, to, ignoreCase);
    while (pos != -1) {
        if (CompareTextPrefix(m_data.c_str() + pos, word, ignoreCase) <= 0) return pos;
        // Stepping past either end stops the scan; -1 must never reach FindChar as "last byte".
        int next = pos + step;
        if (next < low || next > high) return -1;
        pos = FindChar(word[0], next, to, ignoreCase);
    }
    return -1;
}

int CTextBuffer::FindOneOf(const char* set, int from, int to, int ignoreCase) const {
    if (!set || !Resolve(from) || !Resolve(to)) return -1;
    int step = from <= to ? 1 : -1;
    for (int pos = from;; pos += step) {
        auto here = static_cast<BYTE>(m_data[static_cast<std::size_t>(pos)]);
        for (const char* s = set; *s; ++s) {
            if (CharsEqual(here, static_cast<BYTE>(*s), ignoreCase)) return pos;
        }
        if (pos == to) return -1;
    }
}

int CTextBuffer::LineStart(int pos) const {
    int hit = FindOneOf("\r\n", pos, 0, 0);
    return hit == -1 ? 0 : hit + 1;
}

int CTextBuffer::NextLineStart(int pos) const {
    int hit = FindChar('\n', pos, -1, 0);
    if (hit == -1 || hit + 1 >= m_length) return -1;
    return hit + 1;
}

CString CTextBuffer::Mid(int start, int count) const {
    if (count == -1) count = m_length;
    if (start < 0 || start > m_length || count < 0) return CString();
    std::int64_t end = std::min<std::int64_t>(m_length, static_cast<std::int64_t>(start) + count);
    return m_data.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}
