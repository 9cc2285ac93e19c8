// The two ends of every decoder: a source of packed bytes and a sink for the unpacked ones.
// Decoders see only these, never the archive or its files, so each can be tested on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zel::ace {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes; returns how many, 0 only at the end. Throws AceError on failure.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t size) = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Takes all `size` bytes or throws AceError; or throws StopUnpacking when it wants no more.
    virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
};

// Thrown by a sink that has what it wants of an entry: the reader moves past the rest of the
// entry's data without unpacking it, and without a CRC to check.
struct StopUnpacking {};

// A source over bytes in memory (not owned).
class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t size) override;

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
};

// A sink that keeps everything in memory.
class VectorSink final : public ByteSink {
public:
    void Write(const std::uint8_t* data, std::size_t size) override { bytes.insert(bytes.end(), data, data + size); }
    std::vector<std::uint8_t> bytes;
};

// A sink that drops what it is given (testing and passing over solid entries).
class NullSink final : public ByteSink {
public:
    void Write(const std::uint8_t*, std::size_t) override {}
};

}  // namespace zel::ace
