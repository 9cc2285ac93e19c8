// Each decoder on its own, fed frame by frame from the test encoders: set-up limits, history
// across blocks, Reset, damaged and short input, and two decoders running at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "archive/cabinet/cab_decoder.h"
#include "archive/cabinet/lzx_decoder.h"
#include "archive/cabinet/quantum_decoder.h"
#include "tests/cabinet/support/test_data.h"
#include "tests/cabinet/support/test_encoders.h"

namespace zel::cabinet {
namespace {

using test::Bytes;

void* Alloc(std::uint32_t size) { return std::malloc(size); }
void Release(void* p) { std::free(p); }
void* NoAlloc(std::uint32_t) { return nullptr; }
const CabMemory kHeap{Alloc, Release};

std::uint16_t CabCompression(int method, int windowBits) { return std::uint16_t(method | windowBits << 8); }

struct Decoder {
    explicit Decoder(std::uint16_t type, const CabMemory& memory = kHeap) : decoder(CreateCabDecoder(type, memory)) {}
    ~Decoder() { DestroyCabDecoder(decoder, kHeap); }
    CCabDecoder* decoder;
};

struct Frames {
    std::vector<Bytes> compressed;
    std::vector<std::uint32_t> sizes;
};

Frames Encode(test::CFrameEncoder& encoder, const Bytes& data) {
    Frames f;
    for (std::size_t start = 0; start < data.size(); start += 32768) {
        std::size_t n = std::min<std::size_t>(32768, data.size() - start);
        f.compressed.push_back(encoder.EncodeFrame(data, start, n));
        f.sizes.push_back(std::uint32_t(n));
    }
    return f;
}

// Decodes every frame; false at the first failure.
bool DecodeAll(CCabDecoder& decoder, const Frames& frames, Bytes* out) {
    BYTE buffer[kCabMaxBlockSize];
    for (std::size_t i = 0; i < frames.compressed.size(); ++i) {
        const Bytes& in = frames.compressed[i];
        if (!decoder.Decompress(in.data(), std::uint32_t(in.size()), buffer, frames.sizes[i])) return false;
        out->insert(out->end(), buffer, buffer + frames.sizes[i]);
    }
    return true;
}

TEST(CabDecoders, FactoryAcceptsOnlyTheSupportedMethodsAndWindows) {
    for (int method = 4; method < 16; ++method) EXPECT_EQ(Decoder(std::uint16_t(method)).decoder, nullptr) << method;
    for (int bits = 0; bits < 32; ++bits) {
        bool lzx = bits >= 15 && bits <= 21;
        bool quantum = bits >= 10 && bits <= 21;
        EXPECT_EQ(Decoder(std::uint16_t(3 | bits << 8)).decoder != nullptr, lzx) << "LZX " << bits;
        EXPECT_EQ(Decoder(std::uint16_t(2 | bits << 8)).decoder != nullptr, quantum) << "Quantum " << bits;
    }
    EXPECT_EQ(CLzxDecoder::PositionSlotsFor(15), 30);
    EXPECT_EQ(CLzxDecoder::PositionSlotsFor(20), 42);
    EXPECT_EQ(CLzxDecoder::PositionSlotsFor(21), 50);
}

TEST(CabDecoders, WindowsThatCannotBeAllocatedGiveNoDecoder) {
    const CabMemory none{NoAlloc, Release};
    for (std::uint16_t type : {0x0F02, 0x1503, 0x0001, 0x0000}) EXPECT_EQ(Decoder(type, none).decoder, nullptr);
}

TEST(CabDecoders, StoredCopiesAndRefusesAnotherLength) {
    Decoder d(0);
    const BYTE in[5] = {1, 2, 3, 4, 5};
    BYTE out[5] = {};
    EXPECT_TRUE(d.decoder->Decompress(in, 5, out, 5));
    EXPECT_EQ(out[4], 5);
    EXPECT_FALSE(d.decoder->Decompress(in, 5, out, 4));
}

TEST(CabDecoders, MszipNeedsTheSignatureTheExactLengthAndTheHistory) {
    Bytes data = test::MakeTestData(32768, 1);
    data.insert(data.end(), data.begin() + 10000, data.begin() + 30000);  // the second frame repeats the first
    auto encoder = test::MakeMszipEncoder();
    Frames frames = Encode(*encoder, data);
    ASSERT_LT(frames.compressed[1].size(), 400u);  // coded as references into the first frame

    Decoder d(1);
    Bytes out;
    ASSERT_TRUE(DecodeAll(*d.decoder, frames, &out));
    EXPECT_EQ(out, data);

    // Without the first frame the second cannot be decoded.
    ASSERT_TRUE(d.decoder->Reset());
    BYTE buffer[kCabMaxBlockSize];
    const Bytes& second = frames.compressed[1];
    EXPECT_FALSE(d.decoder->Decompress(second.data(), std::uint32_t(second.size()), buffer, 20000));

    ASSERT_TRUE(d.decoder->Reset());
    Bytes first = frames.compressed[0];
    EXPECT_FALSE(d.decoder->Decompress(first.data(), std::uint32_t(first.size()), buffer, 32767));  // too long
    ASSERT_TRUE(d.decoder->Reset());
    EXPECT_FALSE(d.decoder->Decompress(first.data(), std::uint32_t(first.size() / 2), buffer, 32768));  // cut
    first[0] = 'X';
    ASSERT_TRUE(d.decoder->Reset());
    EXPECT_FALSE(d.decoder->Decompress(first.data(), std::uint32_t(first.size()), buffer, 32768));  // no "CK"
}

TEST(CabDecoders, LzxAloneDecodesAgainAfterResetAndRefusesShortInput) {
    Bytes data = test::MakeTestData(200000, 2);
    test::LzxOptions options{16, test::ELzxBlocks::mixed, 2, 1000000};
    auto encoder = test::MakeLzxEncoder(options);
    Frames frames = Encode(*encoder, data);
    Decoder d(CabCompression(3, 16));
    for (int pass = 0; pass < 2; ++pass) {
        Bytes out;
        ASSERT_TRUE(DecodeAll(*d.decoder, frames, &out)) << pass;
        EXPECT_EQ(out, data);
        ASSERT_TRUE(d.decoder->Reset());
    }
    // A frame cut short fails instead of making up data.
    BYTE buffer[kCabMaxBlockSize];
    const Bytes& first = frames.compressed[0];
    EXPECT_FALSE(d.decoder->Decompress(first.data(), std::uint32_t(first.size() / 2), buffer, 32768));
}

TEST(CabDecoders, LzxRefusesUnknownBlockTypesAndFramesThatWrapTheWindow) {
    BYTE buffer[kCabMaxBlockSize];
    for (BYTE type : {0, 4, 7}) {
        Decoder d(CabCompression(3, 15));
        // Translation bit 0, then the 3-bit block type and a 24-bit size, most significant first.
        std::uint32_t bits = (std::uint32_t(type) << 12) | 0x0008;  // 0 | type | size 0x000008...
        BYTE in[8] = {BYTE(bits), BYTE(bits >> 8), 0, 0, 0, 0, 0, 0};
        EXPECT_FALSE(d.decoder->Decompress(in, sizeof in, buffer, 100)) << int(type);
    }
    // Frames of a folder but its last are 32,768 bytes; a short one would make the next wrap.
    Bytes data = test::MakeTestData(70000, 3);
    auto encoder = test::MakeLzxEncoder(test::LzxOptions{15, test::ELzxBlocks::uncompressed});
    Bytes frame = encoder->EncodeFrame(data, 0, 30000);
    Bytes next = encoder->EncodeFrame(data, 30000, 32768);
    Decoder d(CabCompression(3, 15));
    ASSERT_TRUE(d.decoder->Decompress(frame.data(), std::uint32_t(frame.size()), buffer, 30000));
    EXPECT_FALSE(d.decoder->Decompress(next.data(), std::uint32_t(next.size()), buffer, 32768));
}

TEST(CabDecoders, QuantumAloneRefusesShortInputAndDecodesAgainAfterReset) {
    Bytes data = test::MakeTestData(150000, 4);
    auto encoder = test::MakeQuantumEncoder(test::QuantumOptions{12});
    Frames frames = Encode(*encoder, data);
    Decoder d(CabCompression(2, 12));
    for (int pass = 0; pass < 2; ++pass) {
        Bytes out;
        ASSERT_TRUE(DecodeAll(*d.decoder, frames, &out));
        EXPECT_EQ(out, data);
        ASSERT_TRUE(d.decoder->Reset());
    }
    BYTE buffer[kCabMaxBlockSize];
    const Bytes& first = frames.compressed[0];
    EXPECT_FALSE(d.decoder->Decompress(first.data(), std::uint32_t(first.size() / 3), buffer, 32768));
}

// Quantum decoders keep all their state in the object: several may decode at once.
TEST(CabDecoders, QuantumDecodersInSeveralThreadsDoNotDisturbEachOther) {
    std::vector<Bytes> inputs;
    std::vector<Frames> encoded;
    for (int i = 0; i < 4; ++i) {
        inputs.push_back(test::MakeTestData(300000, 100 + i));
        auto encoder = test::MakeQuantumEncoder(test::QuantumOptions{14 + i});
        encoded.push_back(Encode(*encoder, inputs.back()));
    }
    std::vector<int> ok(4, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 3; ++round) {
                Decoder d(CabCompression(2, 14 + i));
                Bytes out;
                if (d.decoder && DecodeAll(*d.decoder, encoded[i], &out) && out == inputs[i]) ++ok[i];
            }
        });
    }
    for (auto& t : threads) t.join();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ok[i], 3) << i;
}

}  // namespace
}  // namespace zel::cabinet
