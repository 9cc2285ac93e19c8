// Fuzzes the ARJ decoders from memory. Input: one byte choosing the method (odd: method 4,
// even: methods 1 to 3), three bytes of original size, then the compressed data.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "archive/arj/arj_decoder.h"
#include "archive/qv_archive.h"

namespace {

class MemorySource : public zel::arj::ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : m_data(data), m_left(size) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t max) override {
        std::size_t count = std::min(max, m_left);
        std::copy_n(m_data, count, buffer);
        m_data += count;
        m_left -= count;
        return count;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_left;
};

class CountingSink : public zel::arj::ByteSink {
public:
    void Write(const std::uint8_t* data, std::size_t size) override {
        if (size > 0) m_last = data[size - 1];
        m_total += size;
    }

private:
    std::uint8_t m_last = 0;
    std::size_t m_total = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    bool fastest = data[0] & 1;
    std::uint64_t original_size = data[1] | data[2] << 8 | data[3] << 16;
    MemorySource source(data + 4, size - 4);
    CountingSink sink;
    try {
        if (fastest) {
            zel::arj::DecodeFastest(source, size - 4, original_size, sink);
        } else {
            zel::arj::DecodeHuffman(source, size - 4, original_size, sink);
        }
    } catch (const CQVArchiveException&) {
    }
    return 0;
}
