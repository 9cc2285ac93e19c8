// The ARJ decompressors on their own, fed from memory.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "archive/arj/arj_decoder.h"
#include "tests/archive/archive_support.h"

namespace zel::test {
namespace {

class MemorySource : public arj::ByteSource {
public:
    explicit MemorySource(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t max) override {
        std::size_t count = std::min(max, m_bytes.size() - m_at);
        std::copy_n(m_bytes.data() + m_at, count, buffer);
        m_at += count;
        return count;
    }

private:
    std::string m_bytes;
    std::size_t m_at = 0;
};

class StringSink : public arj::ByteSink {
public:
    void Write(const std::uint8_t* data, std::size_t size) override { bytes.append(data, data + size); }
    std::string bytes;
};

// Decodes `compressed` with `method`; the exception code, or -1 on success.
int Decode(int method, const std::string& compressed, std::uint64_t original_size, StringSink& sink) {
    MemorySource source(compressed);
    return ErrorOf([&] {
        if (method == 4) {
            arj::DecodeFastest(source, compressed.size(), original_size, sink);
        } else {
            arj::DecodeHuffman(source, compressed.size(), original_size, sink);
        }
    });
}

TEST(ArjDecoderTest, Method4LiteralsAndAnOverlappingMatch) {
    // Bits: 0 + "A" (literal), then prefix 1,0 + 1 bit 0 -> length 3, distance prefix 0 + 9 bits 0
    // -> distance 0: repeats the last byte three times.
    // 0 01000001 | 10 0 | 0 000000000  = 0010 0000 1100 0000 0000 0 (padded with zeros)
    std::string compressed = {'\x20', '\xC0', '\x00', '\x00'};
    StringSink sink;
    EXPECT_EQ(Decode(4, compressed, 4, sink), -1);
    EXPECT_EQ(sink.bytes, "AAAA");
}

TEST(ArjDecoderTest, OutputStopsAtTheOriginalSize) {
    std::string compressed = {'\x20', '\xC0', '\x00', '\x00'};
    StringSink sink;
    EXPECT_EQ(Decode(4, compressed, 2, sink), -1);
    EXPECT_EQ(sink.bytes, "AA");
}

TEST(ArjDecoderTest, DataThatRunsOutFailsInsteadOfDecodingZerosForEver) {
    StringSink sink;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Decode(4, std::string(4, '\0'), 0xFFFFFFFFu, sink), CQVArchiveException::eArchiveFailure);
    EXPECT_EQ(Decode(1, std::string("\x00\x10", 2), 0xFFFFFFFFu, sink), CQVArchiveException::eArchiveFailure);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_LT(sink.bytes.size(), 1000u);
}

TEST(ArjDecoderTest, BadHuffmanTablesFail) {
    // Block of 1 code; code-length count 19 with every length 1: the code space is overfull.
    StringSink sink;
    std::string overfull = {'\x00', '\x01', '\x99', '\x24', '\x92', '\x49', '\x24', '\x92', '\x49', '\x24', '\x92'};
    EXPECT_EQ(Decode(1, overfull, 100, sink), CQVArchiveException::eArchiveFailure);
    // A count above the alphabet size (31 code-length codes of 19).
    std::string too_many = {'\x00', '\x01', '\xF8', '\x00'};
    EXPECT_EQ(Decode(1, too_many, 100, sink), CQVArchiveException::eArchiveFailure);
}

TEST(ArjDecoderTest, RandomInputNeverCrashesOrRunsAway) {
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(1 + rng() % 64, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        StringSink sink;
        Decode(1 + static_cast<int>(rng() % 4), bytes, rng() % 100000, sink);
        EXPECT_LE(sink.bytes.size(), 100000u);
    }
}

}  // namespace
}  // namespace zel::test
