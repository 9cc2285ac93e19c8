// The ARJ decompressors: methods 1 to 3 (LZ77 with static Huffman blocks) and method 4 (LZ77
// with unary-prefixed lengths and distances), both over a 26,624-byte dictionary.
// They read the entry's compressed bytes from a ByteSource and hand decoded blocks to a ByteSink;
// they know nothing of the archive file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::arj {

// The dictionary (sliding window) of both decoders.
constexpr std::size_t kDictionarySize = 26624;

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `max` bytes into `buffer`; returns how many, fewer only at the end.
    // Throws CQVArchiveException(eArchiveFailure) on a read error.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t max) = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Takes the next `size` decoded bytes; may throw.
    virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
};

// Decodes one entry of method 1, 2 or 3: reads at most `compressed_size` bytes from `source`
// and writes exactly `original_size` bytes to `sink` (a final match that runs past that size
// is cut there). Throws CQVArchiveException(eArchiveFailure) for a bad Huffman table, for data
// that runs out long before the output is complete, and when memory runs out.
void DecodeHuffman(ByteSource& source, std::uint64_t compressed_size, std::uint64_t original_size, ByteSink& sink);

// The same for method 4.
void DecodeFastest(ByteSource& source, std::uint64_t compressed_size, std::uint64_t original_size, ByteSink& sink);

}  // namespace zel::arj
