// A test-only LZX encoder: verbatim, aligned-offset and uncompressed blocks with real Huffman trees,
// repeated offsets and matches over the whole window, and the 0xE8 call translation.
#include <algorithm>
#include <array>
#include <cstring>

#include "archive/cabinet/lzx_tables.h"
#include "tests/cabinet/support/test_encoders.h"

namespace zel::cabinet::test {
namespace {

constexpr int kMainMax = 256 + 8 * 50;
constexpr int kLengthSymbols = 249;

// Bits most significant first, packed into 16-bit little-endian words.
class CWordWriter {
public:
    void Put(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            m_word = std::uint16_t((m_word << 1) | ((value >> i) & 1));
            if (++m_bits == 16) FlushWord();
        }
    }
    // Pads the current word with zeros (a frame or an uncompressed block starts on a word).
    void Align() {
        if (m_bits > 0) Put(0, 16 - m_bits);
    }
    bool Aligned() const { return m_bits == 0; }
    void Raw(const std::uint8_t* p, std::size_t n) { out.insert(out.end(), p, p + n); }
    Bytes out;

private:
    void FlushWord() {
        out.push_back(std::uint8_t(m_word));
        out.push_back(std::uint8_t(m_word >> 8));
        m_word = 0;
        m_bits = 0;
    }
    std::uint16_t m_word = 0;
    int m_bits = 0;
};

struct Token {
    std::uint16_t mainSymbol;    // literal or 256 + slot * 8 + length header
    std::uint16_t lengthSymbol;  // 0xFFFF: none
    std::uint32_t verbatim;      // the offset's extra bits
    std::uint8_t extraBits;
};

struct Codes {
    std::vector<std::uint8_t> lengths;
    std::vector<std::uint32_t> codes;
};

Codes MakeCodes(const std::vector<std::uint8_t>& lengths) {
    Codes c{lengths, std::vector<std::uint32_t>(lengths.size(), 0)};
    std::uint32_t code = 0;
    for (int len = 1; len <= 16; ++len) {
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] == len) c.codes[s] = code++;
        }
        code <<= 1;
    }
    return c;
}

class CLzxEncoder final : public CFrameEncoder {
public:
    explicit CLzxEncoder(const LzxOptions& o) : m_options(o) {
        m_windowSize = 1u << o.windowBits;
        m_slots = 0;
        while (kLzxPositionBase[m_slots] < m_windowSize) ++m_slots;
        m_mainSymbols = 256 + 8 * m_slots;
        m_prevMain.assign(kMainMax, 0);
        m_prevLength.assign(kLengthSymbols, 0);
    }

    Bytes EncodeFrame(const Bytes& original, std::size_t start, std::size_t length) override {
        if (!m_finder) {
            m_data = original;
            // Translate every frame up front: a block may be planned over several frames.
            for (std::size_t f = 0; f < m_data.size(); f += 32768) {
                Translate(f, std::min<std::size_t>(32768, m_data.size() - f), f / 32768);
            }
            m_finder = std::make_unique<CMatchFinder>(m_data, m_windowSize - 3, m_options.maxChain);
        }
        CWordWriter w;
        if (m_frame == 0) {
            if (m_options.translationSize != 0) {
                w.Put(1, 1);
                w.Put(m_options.translationSize >> 16, 16);
                w.Put(m_options.translationSize & 0xFFFF, 16);
            } else {
                w.Put(0, 1);
            }
        }
        std::size_t pos = start;
        const std::size_t end = start + length;
        while (pos < end) {
            if (m_blockLeft == 0) StartBlock(w, pos);
            std::size_t run = std::min<std::size_t>(m_blockLeft, end - pos);
            if (m_blockType == 3) {
                w.Raw(&m_data[pos], run);
            } else {
                WriteTokens(w, pos, pos + run);
            }
            pos += run;
            m_blockLeft -= run;
            if (m_blockLeft == 0 && m_blockType == 3) {
                if (m_blockLength & 1) w.out.push_back(0);
                m_afterRaw = true;
            }
        }
        if (m_blockType != 3 || m_blockLeft == 0) w.Align();
        ++m_frame;
        return w.out;
    }

private:
    // Applies the call translation to the frame in our copy of the data, as the decoder undoes it.
    void Translate(std::size_t start, std::size_t length, std::size_t frame) {
        if (m_options.translationSize == 0 || frame >= 32768 || length <= 10) return;
        const std::int32_t size = std::int32_t(m_options.translationSize);
        std::uint8_t* data = &m_data[start];
        for (std::size_t i = 0; i + 10 < length;) {
            if (data[i] != 0xE8) {
                ++i;
                continue;
            }
            std::int32_t pos = std::int32_t(start + i);
            std::int32_t rel;
            std::memcpy(&rel, data + i + 1, 4);
            std::int32_t value = rel;
            if (rel >= -pos && rel < size - pos)
                value = rel + pos;
            else if (rel >= size - pos && rel < size)
                value = rel - size;
            std::memcpy(data + i + 1, &value, 4);
            i += 5;
        }
    }

    int ChooseBlockType() {
        switch (m_options.blocks) {
            case ELzxBlocks::verbatim: return 1;
            case ELzxBlocks::aligned: return 2;
            case ELzxBlocks::uncompressed: return 3;
            case ELzxBlocks::mixed: return int(m_blockCount % 3) + 1;
        }
        return 1;
    }

    void StartBlock(CWordWriter& w, std::size_t pos) {
        if (m_afterRaw) m_afterRaw = false;
        m_blockType = ChooseBlockType();
        ++m_blockCount;
        std::size_t frames = std::size_t(std::max(1, m_options.framesPerBlock));
        // A block covers whole frames from here (the last may be short).
        std::size_t frameEnd = (pos / 32768 + frames) * 32768;
        m_blockLength = std::min(frameEnd, m_data.size()) - pos;
        m_blockLeft = m_blockLength;
        w.Put(std::uint32_t(m_blockType), 3);
        w.Put(std::uint32_t(m_blockLength >> 8), 16);
        w.Put(std::uint32_t(m_blockLength & 0xFF), 8);
        if (m_blockType == 3) {
            // 1 to 16 bits of padding, then the repeated offsets; the raw bytes follow.
            if (w.Aligned()) w.Put(0, 16);
            w.Align();
            for (std::uint32_t r : {m_r0, m_r1, m_r2}) {
                for (int i = 0; i < 4; ++i) w.out.push_back(std::uint8_t(r >> (8 * i)));
            }
            m_finder->Insert(pos + m_blockLength);
            return;
        }
        Plan(pos, pos + m_blockLength);
        WriteTrees(w);
    }

    // Chooses the block's tokens (frame by frame: matches never cross a frame end) and its trees.
    void Plan(std::size_t begin, std::size_t end) {
        m_tokens.clear();
        m_tokenEnds.clear();
        std::vector<std::uint32_t> mainFreq(m_mainSymbols, 0), lengthFreq(kLengthSymbols, 0), alignedFreq(8, 0);
        std::size_t pos = begin;
        while (pos < end) {
            std::size_t frameEnd = std::min(end, (pos / 32768 + 1) * 32768);
            std::uint32_t maxLen = std::uint32_t(std::min<std::size_t>(257, frameEnd - pos));
            std::uint32_t distance = 0;
            std::uint32_t len = m_finder->Find(pos, maxLen, 3, &distance);
            if (len > 0 && distance > pos) len = 0;  // never before the stream's start
            Token t{};
            t.lengthSymbol = 0xFFFF;
            if (len == 0) {
                t.mainSymbol = m_data[pos];
                len = 1;
            } else {
                std::uint32_t slot;
                if (distance == m_r0) {
                    slot = 0;
                } else if (distance == m_r1) {
                    slot = 1;
                    std::swap(m_r0, m_r1);
                } else if (distance == m_r2) {
                    slot = 2;
                    std::swap(m_r0, m_r2);
                } else {
                    std::uint32_t formatted = distance + 2;
                    slot = 3;
                    while (slot + 1 < std::uint32_t(m_slots) && kLzxPositionBase[slot + 1] <= formatted) ++slot;
                    t.extraBits = kLzxExtraBits[slot];
                    t.verbatim = formatted - kLzxPositionBase[slot];
                    m_r2 = m_r1;
                    m_r1 = m_r0;
                    m_r0 = distance;
                }
                std::uint32_t header = std::min<std::uint32_t>(len - 2, 7);
                t.mainSymbol = std::uint16_t(256 + slot * 8 + header);
                if (header == 7) {
                    t.lengthSymbol = std::uint16_t(len - 2 - 7);
                    ++lengthFreq[t.lengthSymbol];
                }
                if (m_blockType == 2 && t.extraBits >= 3) ++alignedFreq[t.verbatim & 7];
            }
            ++mainFreq[t.mainSymbol];
            m_tokens.push_back(t);
            m_tokenEnds.push_back(pos + len);
            pos += len;
        }
        m_tokenIndex = 0;
        m_main = MakeCodes(HuffmanLengths(mainFreq, 16));
        bool anyLength = std::any_of(lengthFreq.begin(), lengthFreq.end(), [](std::uint32_t f) { return f > 0; });
        m_length = MakeCodes(anyLength ? HuffmanLengths(lengthFreq, 16) : std::vector<std::uint8_t>(kLengthSymbols, 0));
        if (m_blockType == 2) m_aligned = MakeCodes(HuffmanLengths(alignedFreq, 7));
    }

    void WriteTrees(CWordWriter& w) {
        if (m_blockType == 2) {
            for (int i = 0; i < 8; ++i) w.Put(m_aligned.lengths[i], 3);
        }
        WriteLengths(w, m_main.lengths, m_prevMain, 0, 256);
        WriteLengths(w, m_main.lengths, m_prevMain, 256, m_mainSymbols);
        WriteLengths(w, m_length.lengths, m_prevLength, 0, kLengthSymbols);
    }

    // Codes lengths [first, last) against their previous values through a pretree, using the run
    // codes 17 and 18 for zeros and 19 for short runs of one value.
    void WriteLengths(CWordWriter& w, const std::vector<std::uint8_t>& lengths, std::vector<std::uint8_t>& previous,
                      int first, int last) {
        struct Item {
            int code;
            int extra;
            int extraBits;
            int second;  // for code 19: the value's pretree code
        };
        std::vector<Item> items;
        for (int i = first; i < last;) {
            int run = 1;
            while (i + run < last && lengths[i + run] == lengths[i]) ++run;
            if (lengths[i] == 0 && run >= 20) {
                run = std::min(run, 51);
                items.push_back({18, run - 20, 5, 0});
            } else if (lengths[i] == 0 && run >= 4) {
                run = std::min(run, 19);
                items.push_back({17, run - 4, 4, 0});
            } else if (run >= 4) {
                run = std::min(run, 5);
                int delta = (previous[i] - lengths[i] + 17) % 17;
                items.push_back({19, run - 4, 1, delta});
            } else {
                run = 1;
                items.push_back({(previous[i] - lengths[i] + 17) % 17, 0, 0, 0});
            }
            for (int k = 0; k < run; ++k) previous[i + k] = lengths[i + k];
            i += run;
        }
        std::vector<std::uint32_t> freq(20, 0);
        for (const auto& item : items) {
            ++freq[item.code];
            if (item.code == 19) ++freq[item.second];
        }
        Codes pre = MakeCodes(HuffmanLengths(freq, 15));
        for (int i = 0; i < 20; ++i) w.Put(pre.lengths[i], 4);
        for (const auto& item : items) {
            w.Put(pre.codes[item.code], pre.lengths[item.code]);
            if (item.extraBits) w.Put(std::uint32_t(item.extra), item.extraBits);
            if (item.code == 19) w.Put(pre.codes[item.second], pre.lengths[item.second]);
        }
    }

    void WriteTokens(CWordWriter& w, std::size_t begin, std::size_t end) {
        std::size_t pos = begin;
        while (pos < end) {
            const Token& t = m_tokens[m_tokenIndex];
            w.Put(m_main.codes[t.mainSymbol], m_main.lengths[t.mainSymbol]);
            if (t.mainSymbol >= 256) {
                if (t.lengthSymbol != 0xFFFF) w.Put(m_length.codes[t.lengthSymbol], m_length.lengths[t.lengthSymbol]);
                if (m_blockType == 2 && t.extraBits >= 3) {
                    w.Put(t.verbatim >> 3, t.extraBits - 3);
                    w.Put(m_aligned.codes[t.verbatim & 7], m_aligned.lengths[t.verbatim & 7]);
                } else if (t.extraBits > 0) {
                    w.Put(t.verbatim, t.extraBits);
                }
            }
            pos = m_tokenEnds[m_tokenIndex++];
        }
    }

    LzxOptions m_options;
    std::uint32_t m_windowSize;
    int m_slots;
    int m_mainSymbols;
    Bytes m_data;
    std::unique_ptr<CMatchFinder> m_finder;
    std::uint32_t m_frame = 0;
    std::uint32_t m_r0 = 1, m_r1 = 1, m_r2 = 1;
    int m_blockType = 0;
    std::size_t m_blockCount = 0;
    std::size_t m_blockLength = 0;
    std::size_t m_blockLeft = 0;
    bool m_afterRaw = false;
    std::vector<std::uint8_t> m_prevMain, m_prevLength;
    std::vector<Token> m_tokens;
    std::vector<std::size_t> m_tokenEnds;
    std::size_t m_tokenIndex = 0;
    Codes m_main, m_length, m_aligned;
};

}  // namespace

std::unique_ptr<CFrameEncoder> MakeLzxEncoder(const LzxOptions& options) {
    return std::make_unique<CLzxEncoder>(options);
}

}  // namespace zel::cabinet::test
