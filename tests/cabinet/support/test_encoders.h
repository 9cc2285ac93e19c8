// Test-only encoders for the cabinet methods, so that tests and benchmarks can make large and
// varied inputs that no tool on the system writes. Each encodes a folder frame by frame (one
// cabinet data block per frame of at most 32,768 bytes); their output is checked against libmspack.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace zel::cabinet::test {

using Bytes = std::vector<std::uint8_t>;

class CFrameEncoder {
public:
    virtual ~CFrameEncoder() = default;
    // Encodes the folder's next frame; `data` is the whole folder, the frame is [start, start+length).
    virtual Bytes EncodeFrame(const Bytes& data, std::size_t start, std::size_t length) = 0;
};

enum class ELzxBlocks { verbatim, aligned, uncompressed, mixed };

struct LzxOptions {
    int windowBits = 16;
    ELzxBlocks blocks = ELzxBlocks::mixed;
    int framesPerBlock = 1;             // a block may span several frames
    std::uint32_t translationSize = 0;  // nonzero: apply the 0xE8 call translation
    int maxChain = 32;                  // match search effort
};

struct QuantumOptions {
    int windowBits = 16;
    int maxChain = 32;
};

std::unique_ptr<CFrameEncoder> MakeStoredEncoder();
std::unique_ptr<CFrameEncoder> MakeMszipEncoder(int level = 6);
std::unique_ptr<CFrameEncoder> MakeLzxEncoder(const LzxOptions& options);
std::unique_ptr<CFrameEncoder> MakeQuantumEncoder(const QuantumOptions& options);

// Finds LZ77 matches for the test encoders: hash chains over 3-byte prefixes.
class CMatchFinder {
public:
    CMatchFinder(const Bytes& data, std::uint32_t maxDistance, int maxChain);
    // Longest match at `pos` of at most `maxLength` bytes with a distance of at most the limit;
    // returns the length (0 if below minLength) and sets `distance`.
    std::uint32_t Find(std::size_t pos, std::uint32_t maxLength, std::uint32_t minLength, std::uint32_t* distance);
    // Enters positions up to (not including) `pos` into the hash chains.
    void Insert(std::size_t pos);

private:
    const Bytes& m_data;
    std::uint32_t m_maxDistance;
    int m_maxChain;
    std::vector<std::int64_t> m_head;
    std::vector<std::int64_t> m_prev;
    std::size_t m_inserted = 0;
};

// Huffman code lengths for `freq`, none longer than `maxLength`; symbols with frequency 0 get
// length 0. At least two symbols get a code (so that the code is complete).
std::vector<std::uint8_t> HuffmanLengths(std::vector<std::uint32_t> freq, int maxLength);

}  // namespace zel::cabinet::test
