#include "archive/arj/arj_archive.h"

#include <algorithm>
#include <new>
#include <vector>

#include "archive/arj/arj_decoder.h"
#include "archive/backends.h"
#include "archive/entry_output.h"
#include "archive/reader_support.h"
#include "framework/crc32.h"
#include "framework/little_endian.h"
#include "platform/files.h"

using zel::arcopen::ThrowEnd;
using zel::arcopen::ThrowFailure;

namespace zel::arj {
namespace {

// Stored entries are copied in chunks of this size.
constexpr std::size_t kCopyChunk = 4096;

// Thrown by the sink once the extraction limit is reached: the rest of the entry is not decoded.
struct LimitReached {};

// Hands decoded data to the entry's output and keeps its CRC.
class OutputSink : public ByteSink {
public:
    explicit OutputSink(arcopen::CEntryOutput& output) : m_output(output) {}
    void Write(const std::uint8_t* data, std::size_t size) override {
        m_crc = Crc32(data, size, m_crc);
        if (!m_output.Write(data, size)) throw LimitReached{};
    }
    std::uint32_t Crc() const { return m_crc; }

private:
    arcopen::CEntryOutput& m_output;
    std::uint32_t m_crc = 0;
};

}  // namespace

// Creates every missing folder along the destination's path.
void MakeParentFolders(const std::string& destination) {
    for (std::size_t i = 1; i < destination.size(); ++i) {
        if (destination[i] == '/' || destination[i] == '\\') platform::MakeFolder(destination.substr(0, i));
    }
}

std::optional<std::uint64_t> FindMainHeader(ArchiveInput& input, std::uint64_t from) {
    std::uint64_t length = input.Length();
    if (length < 2) return std::nullopt;
    std::uint64_t limit = std::min<std::uint64_t>(length - 2, kMaxMainHeaderOffset);
    if (from >= limit) return std::nullopt;
    std::uint64_t window_end = std::min<std::uint64_t>(length, limit + kMainHeaderSearchExtra);
    std::vector<std::uint8_t> window(static_cast<std::size_t>(window_end - from));
    input.Seek(from);
    input.ReadExact(window.data(), window.size());
    auto at = FindMainHeaderIn(window.data(), window.size(), static_cast<std::size_t>(limit - from));
    if (!at) return std::nullopt;
    return from + *at;
}

std::optional<std::size_t> FindMainHeaderIn(const std::uint8_t* data, std::size_t size, std::size_t limit) {
    for (std::size_t at = 0; at < limit && at + 1 < size; ++at) {
        if (data[at] != kHeaderIdLow || data[at + 1] != kHeaderIdHigh) continue;
        if (at + 4 > size) break;
        std::size_t header_size = LoadLe16(data + at + 2, data + size);
        // A size of 0 is the end marker, which no main header can be.
        if (header_size == 0 || header_size > kMaxHeaderSize || at + 4 + header_size + 4 > size) continue;
        if (Crc32(data + at + 4, header_size) == LoadLe32(data + at + 4 + header_size, data + size)) return at;
    }
    return std::nullopt;
}

}  // namespace zel::arj

CQVArjArchive::~CQVArjArchive() { Close(); }

int CQVArjArchive::Open(const char* path) {
    Close();
    if (path == nullptr || !m_input.Open(path)) return 0;
    try {
        ReadMainHeader();
    } catch (const CQVArchiveException&) {
        Close();
        return 0;
    }
    return 1;
}

void CQVArjArchive::Close() {
    m_input.Close();
    m_hasEntry = false;
    m_atEnd = false;
    m_name.clear();
}

void CQVArjArchive::ReadMainHeader() {
    if (!m_input.IsOpen()) ThrowFailure();
    auto position = zel::arj::FindMainHeader(m_input, 0);
    if (!position) ThrowFailure();
    m_input.Seek(*position);
    if (!ReadHeader()) ThrowFailure();
}

std::optional<zel::arj::Header> CQVArjArchive::ReadHeader() {
    using namespace zel::arj;
    if (m_input.ReadWord() != kHeaderId) ThrowFailure();
    std::size_t size = m_input.ReadWord();
    if (size == 0) return std::nullopt;
    if (size > kMaxHeaderSize) ThrowFailure();
    std::uint8_t bytes[kMaxHeaderSize];
    m_input.ReadExact(bytes, size);
    if (zel::Crc32(bytes, size) != m_input.ReadDword()) ThrowFailure();
    auto header = ParseBasicHeader(bytes, size);
    if (!header) ThrowFailure();
    // Extended headers: each is its size, its bytes and a CRC, until a size of 0.
    for (std::uint16_t extended = m_input.ReadWord(); extended != 0; extended = m_input.ReadWord()) {
        std::uint64_t next = m_input.Position() + extended + 4;
        if (next > m_input.Length()) ThrowFailure();
        m_input.Seek(next);
    }
    return header;
}

void CQVArjArchive::ReadEntryHeader() {
    m_hasEntry = false;
    m_atEnd = false;
    m_name.clear();
    auto header = ReadHeader();
    if (!header) {
        m_atEnd = true;
        ThrowEnd();
    }
    m_header = *header;
    m_name = zel::arj::DisplayName(m_header);
    m_dataStart = m_input.Position();
    m_hasEntry = true;
}

void CQVArjArchive::MoveFirst() {
    ReadMainHeader();
    ReadEntryHeader();
}

void CQVArjArchive::MoveNext() {
    if (m_atEnd) ThrowEnd();
    if (!m_input.IsOpen() || !m_hasEntry) ThrowFailure();
    // Past the current entry's data, whether or not Extract consumed it.
    m_input.Seek(m_dataStart + m_header.compressed_size);
    ReadEntryHeader();
}

void CQVArjArchive::DecodeEntry(zel::arcopen::CEntryOutput& output) {
    using namespace zel::arj;
    m_input.Seek(m_dataStart);
    OutputSink sink(output);
    try {
        if (m_header.method == kMethodStored) {
            std::uint8_t chunk[kCopyChunk];
            for (std::uint64_t left = m_header.compressed_size; left > 0;) {
                std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof chunk));
                m_input.ReadExact(chunk, part);
                sink.Write(chunk, part);
                left -= part;
            }
        } else {
            EntryDataSource source(m_input, m_header.compressed_size);
            if (m_header.method == kMethodFastest) {
                DecodeFastest(source, m_header.compressed_size, m_header.original_size, sink);
            } else {
                DecodeHuffman(source, m_header.compressed_size, m_header.original_size, sink);
            }
        }
    } catch (const LimitReached&) {
        return;  // the CRC covers the whole entry and cannot be checked
    }
    // A damaged entry must not pass for a good one.
    if (sink.Crc() != m_header.file_crc) ThrowFailure();
}

void CQVArjArchive::Extract(CString destination, int skip) {
    using namespace zel::arj;
    SetExtractTruncated(false);
    SetExtractDecodedBytes(0);
    if (!m_input.IsOpen() || !m_hasEntry) ThrowFailure();
    std::uint64_t data_end = m_dataStart + m_header.compressed_size;
    // Whatever happens to this entry, the next header is read from behind its data.
    struct SeekPastData {
        ArchiveInput& input;
        std::uint64_t end;
        ~SeekPastData() { input.Seek(end); }
    } seek_past{m_input, data_end};
    if (skip) return;
    if (m_header.file_type == kTypeDirectory) {
        zel::arcopen::MakeEntryDirectory(destination);
        return;
    }
    // Comments and volume labels hold no file. Every other entry this reader cannot decode (a
    // garbled one, an unknown method or version, a part of a file that other volumes continue)
    // is a failure: its contents would go unseen.
    if (m_header.file_type == kTypeComment || m_header.file_type == kTypeVolumeLabel) return;
    if (!IsExtractable(m_header) || IsVolumePart(m_header)) ThrowFailure();
    MakeParentFolders(destination);
    // Text entries are written as they are: on this system text and binary files are alike.
    zel::arcopen::CEntryOutput output(destination, GetExtractLimit());
    zel::arcopen::OnScopeExit report_decoded([&] { SetExtractDecodedBytes(output.Offered()); });
    DecodeEntry(output);
    output.Commit();
    SetExtractTruncated(output.Truncated());
}

namespace zel::arcopen {

bool IsArjArchive(const char* path) {
    CQVArjArchive probe;
    bool found = probe.Open(path) != 0;
    probe.Close();
    return found;
}

static_assert(kProbeHeadSize >= zel::arj::kMaxMainHeaderOffset + zel::arj::kMainHeaderSearchExtra);

bool HasArjMainHeader(FileHead head) {
    if (head.size() < 2) return false;
    std::size_t limit = std::min<std::size_t>(head.size() - 2, zel::arj::kMaxMainHeaderOffset);
    return zel::arj::FindMainHeaderIn(head.data(), head.size(), limit).has_value();
}

bool StartsAsArj(FileHead head) {
    using namespace zel::arj;
    if (head.size() < 4 || head[0] != kHeaderIdLow || head[1] != kHeaderIdHigh) return false;
    const std::uint8_t* end = head.data() + head.size();
    std::size_t size = LoadLe16(head.data() + 2, end);
    if (size == 0 || size > kMaxHeaderSize || head.size() < 4 + size + 4) return false;
    return Crc32(head.data() + 4, size) == LoadLe32(head.data() + 4 + size, end);
}

CQVArchive* NewArjReader() { return new (std::nothrow) CQVArjArchive(); }

}  // namespace zel::arcopen
