#include "fileio/archive.h"

#include <algorithm>
#include <cstring>

#include "framework/codepage.h"
#include "framework/little_endian.h"

namespace {

// Prefix values of the archive string length.
constexpr BYTE kLongLengthByte = 0xFF;
constexpr WORD kUnicodeMarker = 0xFFFE;
constexpr WORD kLength32Marker = 0xFFFF;

}  // namespace

CArchive::CArchive(CFile* file, Mode mode, UINT buffer_size)
    : m_file(file), m_mode(mode), m_buffer(std::max<UINT>(buffer_size, 16)) {}

bool CArchive::FillBuffer() {
    if (!m_fileRemainingKnown) GetRemaining();
    m_begin = 0;
    m_end = m_file->Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
    m_fileRemaining -= std::min<std::uint64_t>(m_end, m_fileRemaining);
    return m_end > 0;
}

UINT CArchive::Read(void* buffer, UINT count) {
    auto* out = static_cast<BYTE*>(buffer);
    UINT done = 0;
    while (done < count) {
        if (m_begin == m_end && !FillBuffer()) break;
        UINT take = std::min(count - done, m_end - m_begin);
        std::memcpy(out + done, m_buffer.data() + m_begin, take);
        m_begin += take;
        done += take;
    }
    return done;
}

void CArchive::ReadExact(void* buffer, UINT count) {
    if (Read(buffer, count) != count) {
        throw CArchiveException(CArchiveException::endOfFile, "unexpected end of data");
    }
}

void CArchive::Write(const void* buffer, UINT count) {
    const auto* in = static_cast<const BYTE*>(buffer);
    while (count > 0) {
        if (m_end == m_buffer.size()) Flush();
        UINT take = std::min(count, static_cast<UINT>(m_buffer.size()) - m_end);
        std::memcpy(m_buffer.data() + m_end, in, take);
        m_end += take;
        in += take;
        count -= take;
    }
}

void CArchive::Flush() {
    if (IsStoring() && m_end > 0) m_file->Write(m_buffer.data(), m_end);
    m_begin = m_end = 0;
}

void CArchive::Close() {
    if (IsStoring()) Flush();
}

std::uint64_t CArchive::GetRemaining() const {
    if (!m_fileRemainingKnown) {
        std::uint64_t length = m_file->GetLength();
        std::uint64_t position = m_file->GetPosition();
        m_fileRemaining = length > position ? length - position : 0;
        m_fileRemainingKnown = true;
    }
    return (m_end - m_begin) + m_fileRemaining;
}

CArchive& CArchive::operator<<(BYTE value) {
    Write(&value, 1);
    return *this;
}

CArchive& CArchive::operator<<(WORD value) {
    BYTE bytes[2] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8)};
    Write(bytes, 2);
    return *this;
}

CArchive& CArchive::operator<<(DWORD value) {
    BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                     static_cast<BYTE>(value >> 24)};
    Write(bytes, 4);
    return *this;
}

CArchive& CArchive::operator>>(BYTE& value) {
    ReadExact(&value, 1);
    return *this;
}

CArchive& CArchive::operator>>(WORD& value) {
    BYTE bytes[2];
    ReadExact(bytes, 2);
    value = zel::LoadLe16(bytes, bytes + sizeof bytes);
    return *this;
}

CArchive& CArchive::operator>>(DWORD& value) {
    BYTE bytes[4];
    ReadExact(bytes, 4);
    value = zel::LoadLe32(bytes, bytes + sizeof bytes);
    return *this;
}

void CArchive::WriteLength(std::uint64_t length) {
    if (length < kLongLengthByte) {
        *this << static_cast<BYTE>(length);
    } else if (length < kUnicodeMarker) {
        *this << kLongLengthByte << static_cast<WORD>(length);
    } else {
        *this << kLongLengthByte << kLength32Marker << static_cast<DWORD>(length);
    }
}

std::uint64_t CArchive::ReadLength() {
    BYTE first;
    *this >> first;
    if (first < kLongLengthByte) return first;
    WORD second;
    *this >> second;
    if (second < kUnicodeMarker) return second;
    DWORD third;
    *this >> third;
    return third;
}

CArchive& CArchive::operator<<(const CString& text) {
    WriteLength(text.size());
    Write(text.data(), static_cast<UINT>(text.size()));
    return *this;
}

CArchive& CArchive::operator>>(CString& text) {
    BYTE first;
    *this >> first;
    std::uint64_t length = first;
    bool wide = false;
    if (first == kLongLengthByte) {
        WORD second;
        *this >> second;
        if (second == kUnicodeMarker) {
            wide = true;
            length = ReadLength();
        } else if (second < kLength32Marker) {
            length = second;
        } else {
            DWORD third;
            *this >> third;
            length = third;
        }
    }
    std::uint64_t bytes = wide ? length * 2 : length;
    // A length that the rest of the data cannot hold is a truncated file, not a reason to allocate.
    if (bytes > GetRemaining()) {
        throw CArchiveException(CArchiveException::endOfFile, "string longer than the data left");
    }
    std::string raw(static_cast<size_t>(bytes), '\0');
    ReadExact(raw.data(), static_cast<UINT>(bytes));
    if (!wide) {
        text = std::move(raw);
        return *this;
    }
    std::u16string units(static_cast<size_t>(length), u'\0');
    const auto* unitBytes = reinterpret_cast<const std::uint8_t*>(raw.data());
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(zel::LoadLe16(unitBytes + 2 * i, unitBytes + raw.size()));
    }
    text = zel::codepage::Utf16ToWindows1252(units);
    return *this;
}
