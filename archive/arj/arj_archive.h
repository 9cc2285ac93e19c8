// CQVArjArchive: ARJ archives, self-extracting ones included, read and decoded by Arcopen itself
// (methods 0 to 4).
#pragma once

#include <cstdint>
#include <optional>

#include "archive/arj/arj_format.h"
#include "archive/arj/arj_input.h"
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
    // Entries that cannot be extracted (folders, volume labels, comments, garbled entries,
    // unknown methods or versions) and outputs that cannot be created are passed over without
    // an exception. A decoding error, a write error and a CRC mismatch throw eArchiveFailure.
    void Extract(CString destination, int skip) override;
    void ExtractNext() override { MoveNext(); }

private:
    // Finds and reads the main header from the start of the file.
    void ReadMainHeader();
    // Reads the header at the current position; nullopt for the end marker.
    std::optional<zel::arj::Header> ReadHeader();
    // Reads the next entry header at the current position and makes it current.
    void ReadEntryHeader();
    void DecodeEntry(CFile& output);

    zel::arj::ArchiveInput m_input;
    zel::arj::Header m_header;
    CString m_name;
    bool m_hasEntry = false;
    std::uint64_t m_dataStart = 0;  // file position of the current entry's compressed data
};

namespace zel::arj {

// Searches for a main header from `from`: the bytes 0x60 0xEA followed by a size of at most
// 2,600 and a header whose CRC-32 matches, beginning before the 25,000th byte. Returns its
// position, or nullopt. Reads through `input`; throws only for a read error.
std::optional<std::uint64_t> FindMainHeader(ArchiveInput& input, std::uint64_t from);

// Opens `destination` for writing; when that fails, creates every folder along its path and
// tries once more. False when it still fails.
bool OpenOutput(CFile& output, const std::string& destination);

}  // namespace zel::arj
