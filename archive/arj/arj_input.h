// Buffered reading of the archive file for the ARJ reader. Every read error becomes
// CQVArchiveException(eArchiveFailure).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "archive/arj/arj_decoder.h"
#include "fileio/file.h"

namespace zel::arj {

class ArchiveInput {
public:
    ArchiveInput() = default;
    ArchiveInput(const ArchiveInput&) = delete;
    ArchiveInput& operator=(const ArchiveInput&) = delete;

    // Opens the file read-only; false when it cannot be opened (never throws).
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    std::uint64_t Length() const { return m_length; }
    std::uint64_t Position() const { return m_position; }
    // Moves to `position`; a position past the end is allowed (reads then return nothing).
    void Seek(std::uint64_t position);
    // Reads up to `size` bytes; fewer only at the end of the file.
    std::size_t Read(std::uint8_t* buffer, std::size_t size);
    // Reads exactly `size` bytes or throws eArchiveFailure.
    void ReadExact(std::uint8_t* buffer, std::size_t size);
    std::uint16_t ReadWord();
    std::uint32_t ReadDword();

private:
    static constexpr std::size_t kBufferSize = 65536;

    bool Fill();

    CFile m_file;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::uint64_t m_length = 0;
    std::uint64_t m_position = 0;     // logical position of the next byte
    std::uint64_t m_bufferStart = 0;  // file position of m_buffer[0]
    std::size_t m_bufferSize = 0;     // valid bytes in m_buffer
};

// The compressed bytes of one entry, as the decoders read them.
class EntryDataSource : public ByteSource {
public:
    EntryDataSource(ArchiveInput& input, std::uint64_t size) : m_input(input), m_left(size) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t max) override;

private:
    ArchiveInput& m_input;
    std::uint64_t m_left;
};

}  // namespace zel::arj
