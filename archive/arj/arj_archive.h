// CQVArjArchive: ARJ archives, self-extracting ones included, read and decoded by Arcopen itself
// (methods 0 to 4).
#pragma once

#include <cstdint>
#include <optional>

#include "archive/arj/arj_format.h"
#include "archive/arj/arj_input.h"
#include "archive/entry_output.h"
#include "archive/qv_archive.h"

class CQVArjArchive : public CQVArchive {
public:
    CQVArjArchive() = default;
    CQVArjArchive(const CQVArjArchive&) = delete;
    CQVArjArchive& operator=(const CQVArjArchive&) = delete;
    ~CQVArjArchive() override;

    // Opens the file and reads its main header; 0 when there is none (within the first 25,000
    // bytes) or it is damaged.
    int Open(const char* path) override;
    void Close() override;
    CString GetType() override { return "arj"; }
    // Reads the main header again, then the first entry header; eEndOfArchive when the archive
    // has no entry, eArchiveFailure when a header is missing or damaged.
    void MoveFirst() override;
    CString GetName() override { return m_name; }
    void MoveNext() override;
    void ExtractFirst() override { MoveFirst(); }
    CString GetExtractName() override { return GetName(); }
    // A folder entry creates its folder; volume labels and comments are passed over. A garbled
    // entry, an unknown method or version, a file that continues in another volume, an output
    // that cannot be created, a decoding error, a write error and a CRC mismatch throw
    // eArchiveFailure. Missing folders along the destination are created first.
    void Extract(CString destination, int skip) override;
    void ExtractNext() override { MoveNext(); }

private:
    // Finds and reads the main header from the start of the file.
    void ReadMainHeader();
    // Reads the header at the current position; nullopt for the end marker.
    std::optional<zel::arj::Header> ReadHeader();
    // Reads the next entry header at the current position and makes it current.
    void ReadEntryHeader();
    void DecodeEntry(zel::arcopen::CEntryOutput& output);

    zel::arj::ArchiveInput m_input;
    zel::arj::Header m_header;
    CString m_name;
    bool m_hasEntry = false;
    bool m_atEnd = false;           // the end marker was read: MoveNext gives eEndOfArchive
    std::uint64_t m_dataStart = 0;  // file position of the current entry's compressed data
};

namespace zel::arj {

// Searches for a main header from `from`: the bytes 0x60 0xEA followed by a size of at most
// 2,600 and a header whose CRC-32 matches, beginning before the 25,000th byte. Returns its
// position, or nullopt. Reads through `input`; throws only for a read error.
std::optional<std::uint64_t> FindMainHeader(ArchiveInput& input, std::uint64_t from);
// The same search over `size` bytes in memory, for a header that begins before `limit`; the
// bytes must reach kMainHeaderSearchExtra past `limit`, or to the end of the file.
std::optional<std::size_t> FindMainHeaderIn(const std::uint8_t* data, std::size_t size, std::size_t limit);
// Everything a candidate that begins just before the limit may need: its id, size, header and CRC.
constexpr std::size_t kMainHeaderSearchExtra = 4 + kMaxHeaderSize + 4;

// Creates every missing folder along `destination`'s path (errors are ignored).
void MakeParentFolders(const std::string& destination);

}  // namespace zel::arj
