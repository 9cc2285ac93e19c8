#include "tests/ace/ace_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

#include "archive/acelib/ace_crc.h"
#include "archive/acelib/huffman.h"
#include "archive/acelib/pic.h"
#include "archive/acelib/sound.h"

namespace zel::ace::test {
namespace {

// Bits go into little-endian 32-bit words from the most significant end.
class BitWriter {
public:
    void Put(std::uint32_t value, unsigned count) {
        for (unsigned i = count; i-- > 0;) {
            m_word = (m_word << 1) | ((value >> i) & 1u);
            if (++m_bits == 32) Flush();
        }
    }
    std::vector<std::uint8_t> Finish() {
        if (m_bits > 0) {
            m_word <<= (32 - m_bits);
            Flush();
        }
        return std::move(m_bytes);
    }

private:
    void Flush() {
        for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<std::uint8_t>(m_word >> (8 * i)));
        m_word = 0;
        m_bits = 0;
    }
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_word = 0;
    unsigned m_bits = 0;
};

using Bits = std::vector<std::pair<std::uint32_t, unsigned>>;

// A complete prefix code with two widths over all symbols, sent in the ACE table format.
class FixedTable {
public:
    FixedTable(unsigned symbols, unsigned maxWidth) : m_symbols(symbols), m_widths(symbols), m_codes(symbols) {
        unsigned width = static_cast<unsigned>(std::bit_width(symbols - 1));
        unsigned shorter = (1u << width) - symbols;  // symbols that get width - 1
        for (unsigned i = 0; i < symbols; ++i) m_widths[i] = static_cast<std::uint8_t>(i < shorter ? width - 1 : width);
        m_lower = width - 2;
        std::vector<std::uint8_t> widths(m_widths);
        std::vector<std::uint16_t> table(1u << maxWidth);
        HuffmanTable::BuildCodes(maxWidth, symbols, widths.data(), table.data());
        for (unsigned position = table.size(); position-- > 0;) {
            unsigned symbol = table[position];
            if (symbol < symbols) m_codes[symbol] = position >> (maxWidth - m_widths[symbol]);
        }
    }
    void Define(Bits& out) const {
        out.push_back({m_symbols - 1, 9});
        out.push_back({m_lower, 4});
        out.push_back({3, 4});                              // width values 0-2, 3 = zero run
        for (int i = 0; i < 4; ++i) out.push_back({2, 3});  // each coded in 2 bits: code = value
        unsigned previous = 0;
        for (unsigned i = 0; i < m_symbols; ++i) {
            unsigned value = m_widths[i] - m_lower;  // 1 or 2
            unsigned delta = i == 0 ? value : (value + 3 - previous) % 3;
            out.push_back({WidthCode(delta), 2});
            previous = value;
        }
    }
    void Encode(Bits& out, unsigned symbol) const { out.push_back({m_codes[symbol], m_widths[symbol]}); }

private:
    static unsigned WidthCode(unsigned value) {
        static const unsigned codes[4] = {CodeOf(0), CodeOf(1), CodeOf(2), CodeOf(3)};
        return codes[value];
    }
    static unsigned CodeOf(unsigned value) {
        std::uint8_t widths[16] = {2, 2, 2, 2};
        std::uint16_t table[128];
        HuffmanTable::BuildCodes(7, 4, widths, table);
        for (unsigned position = 0; position < 128; ++position) {
            if (table[position] == value) return position >> 5;
        }
        return 0;
    }
    unsigned m_symbols;
    unsigned m_lower = 0;
    std::vector<std::uint8_t> m_widths;
    std::vector<std::uint32_t> m_codes;
};

void PutModeSwitch(Bits& out, const Segment& next) {
    out.push_back({next.mode, 8});
    if (next.mode == kModeDelta) {
        out.push_back({next.deltaDistance, 8});
        out.push_back({static_cast<std::uint32_t>(next.data.size()), 17});
    } else if (next.mode == kModeExe) {
        out.push_back({next.exeMode, 8});
    }
}

std::int8_t Signed(int value) { return static_cast<std::int8_t>(value & 0xFF); }

}  // namespace

struct StreamWriter::State {
    explicit State(unsigned bits) : dictionary(std::size_t{1} << bits) {}

    struct LzSymbol {
        unsigned code = 0;
        std::uint32_t distance = 0;
        unsigned length = 0;
        const Segment* next = nullptr;  // type code: the segment switched to
        bool afterDelta = false;        // must stay in the block that holds the DELTA data
    };
    struct Event {
        bool lz = false;
        LzSymbol symbol;
        Bits bits;
    };

    std::size_t dictionary;
    std::vector<std::uint8_t> window;
    std::vector<std::uint32_t> head = std::vector<std::uint32_t>(1u << 16, UINT32_MAX);
    std::vector<std::uint32_t> chain;
    std::uint32_t history[4] = {0, 0, 0, 0};
    std::vector<Event> events;
    FixedTable mainTable{Lz77Decoder::kMainSymbols, 11};
    FixedTable lengthTable{Lz77Decoder::kLengthSymbols, 11};
    FixedTable soundTable{SoundDecoder::kSymbols, 10};
    std::uint8_t deltaSum = 0;

    static unsigned Hash(const std::uint8_t* p) {
        return (p[0] * 506832829u ^ p[1] * 2654435761u ^ p[2]) >> 16 & 0xFFFF;
    }

    void Index(std::size_t position) {
        chain.resize(window.size(), UINT32_MAX);
        if (position + 3 > window.size()) return;
        unsigned h = Hash(&window[position]);
        chain[position] = head[h];
        head[h] = static_cast<std::uint32_t>(position);
    }

    std::size_t MatchLength(std::size_t position, std::size_t distance, std::size_t end) const {
        if (distance == 0 || distance > position || distance > dictionary) return 0;
        std::size_t length = 0;
        while (position + length < end && length < 256 &&
               window[position + length] == window[position + length - distance])
            ++length;
        return length;
    }

    void Push(const LzSymbol& symbol) {
        Event event;
        event.lz = true;
        event.symbol = symbol;
        events.push_back(event);
    }

    // Appends `data` to the window and LZ77-codes it, never matching past its end.
    void Tokenize(const std::vector<std::uint8_t>& data) {
        std::size_t start = window.size();
        window.insert(window.end(), data.begin(), data.end());
        std::size_t end = window.size();
        std::size_t position = start;
        while (position < end) {
            // Repeated distances first, then the hash chain.
            std::size_t bestLength = 0, bestDistance = 0;
            int bestSlot = -1;
            for (int k = 0; k < 4; ++k) {
                std::size_t length = MatchLength(position, history[3 - k] + 1u, end);
                if (length >= (k <= 1 ? 2u : 3u) && length > bestLength) {
                    bestLength = length;
                    bestSlot = k;
                }
            }
            if (position + 3 <= end) {
                std::uint32_t candidate = head[Hash(&window[position])];
                for (int steps = 0; steps < 32 && candidate != UINT32_MAX; ++steps) {
                    std::size_t distance = position - candidate;
                    if (distance > dictionary) break;
                    std::size_t length = MatchLength(position, distance, end);
                    std::size_t minimum = distance - 1 <= 255 ? 2 : distance - 1 <= 8191 ? 3 : 4;
                    if (length >= std::max<std::size_t>(minimum, 3) && length > bestLength + 1) {
                        bestLength = length;
                        bestDistance = distance;
                        bestSlot = -1;
                    }
                    candidate = chain[candidate];
                }
            }
            LzSymbol symbol;
            if (bestLength == 0) {
                symbol.code = window[position];
                bestLength = 1;
            } else if (bestSlot >= 0) {
                unsigned slot = 3 - static_cast<unsigned>(bestSlot);
                std::uint32_t distance = history[slot];
                for (unsigned i = slot; i < 3; ++i) history[i] = history[i + 1];
                history[3] = distance;
                symbol.code = 256 + static_cast<unsigned>(bestSlot);
                symbol.length = static_cast<unsigned>(bestLength) - (bestSlot <= 1 ? 2 : 3);
            } else {
                auto raw = static_cast<std::uint32_t>(bestDistance - 1);
                unsigned width = raw < 2 ? raw : static_cast<unsigned>(std::bit_width(raw));
                symbol.code = 260 + width;
                symbol.distance = raw;
                symbol.length = static_cast<unsigned>(bestLength) - (raw <= 255 ? 2 : raw <= 8191 ? 3 : 4);
                std::memmove(history, history + 1, 3 * sizeof history[0]);
                history[3] = raw;
            }
            Push(symbol);
            for (std::size_t i = 0; i < bestLength; ++i) Index(position + i);
            position += bestLength;
        }
    }

    void PutSymbol(Bits& out, const LzSymbol& symbol) {
        mainTable.Encode(out, symbol.code);
        if (symbol.code == Lz77Decoder::kTypeCode) {
            PutModeSwitch(out, *symbol.next);
            return;
        }
        if (symbol.code < 256) return;
        if (symbol.code > 259) {
            unsigned width = symbol.code - 260;
            if (width >= 2) out.push_back({symbol.distance - (1u << (width - 1)), width - 1});
        }
        lengthTable.Encode(out, symbol.length);
    }

    // Lays out the events: LZ77 blocks of at most 32767 symbols, tables before each. SOUND and PIC
    // data switched to inside a block follows that block's last symbol.
    std::vector<std::uint8_t> Emit() {
        std::vector<std::size_t> remaining(events.size() + 1, 0);
        for (std::size_t i = events.size(); i-- > 0;) remaining[i] = remaining[i + 1] + (events[i].lz ? 1 : 0);
        BitWriter writer;
        Bits bits, deferred;
        std::size_t blockLeft = 0, batchLeft = 0, inBlock = 0;
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (!events[i].lz) {
                Bits& to = blockLeft > 0 && batchLeft > 0 ? deferred : bits;
                to.insert(to.end(), events[i].bits.begin(), events[i].bits.end());
                continue;
            }
            if (blockLeft == 0) {
                std::size_t count = std::min<std::size_t>(32767, remaining[i]);
                // A type code right after DELTA data must be read with it, not open a block.
                std::size_t seen = 0, j = i;
                for (; j < events.size() && seen < count; ++j) seen += events[j].lz ? 1 : 0;
                while (j < events.size() && !events[j].lz) ++j;
                if (count < remaining[i] && j < events.size() && events[j].symbol.afterDelta) --count;
                mainTable.Define(bits);
                lengthTable.Define(bits);
                bits.push_back({static_cast<std::uint32_t>(count), 15});
                blockLeft = count;
                inBlock = 0;
            }
            if (batchLeft == 0) batchLeft = std::min<std::size_t>(Lz77Decoder::kBatch, blockLeft);
            if (events[i].symbol.afterDelta && inBlock % Lz77Decoder::kBatch == 0 && inBlock > 0) {
                throw std::logic_error("type code after DELTA data opens a symbol batch");
            }
            PutSymbol(bits, events[i].symbol);
            --blockLeft;
            ++inBlock;
            if (--batchLeft == 0) {
                bits.insert(bits.end(), deferred.begin(), deferred.end());
                deferred.clear();
            }
        }
        bits.insert(bits.end(), deferred.begin(), deferred.end());
        for (const auto& [value, count] : bits) writer.Put(value, count);
        events.clear();
        return writer.Finish();
    }

    void SwitchTo(const Segment& next, bool afterDelta) {
        LzSymbol symbol;
        symbol.code = Lz77Decoder::kTypeCode;
        symbol.next = &next;
        symbol.afterDelta = afterDelta;
        Push(symbol);
    }

    void Exe(const Segment& segment, std::uint64_t base) {
        std::vector<std::uint8_t> data = segment.data;
        std::size_t n = data.size();
        for (std::size_t k = n >= 5 ? n - 5 : 0; k < n; ++k) {
            if (data[k] == 0xE8 || data[k] == 0xE9) throw std::logic_error("EXE segment ends in an opcode");
        }
        std::size_t i = 0;
        while (i + 4 < n) {
            std::uint64_t position = base + i;
            if (data[i] == 0xE8 && segment.exeMode != 0) {
                std::uint32_t value =
                    data[i + 1] | data[i + 2] << 8 | data[i + 3] << 16 | static_cast<std::uint32_t>(data[i + 4]) << 24;
                value += static_cast<std::uint32_t>(position);
                for (int b = 0; b < 4; ++b) data[i + 1 + b] = static_cast<std::uint8_t>(value >> (8 * b));
                i += 5;
            } else if (data[i] == 0xE8 || data[i] == 0xE9) {
                unsigned value = (data[i + 1] | data[i + 2] << 8) + static_cast<unsigned>(position);
                data[i + 1] = static_cast<std::uint8_t>(value);
                data[i + 2] = static_cast<std::uint8_t>(value >> 8);
                i += 3;
            } else {
                ++i;
            }
        }
        Tokenize(data);
    }

    void Delta(const Segment& segment) {
        const auto& data = segment.data;
        std::size_t distance = segment.deltaDistance;
        if (distance == 0 || data.empty() || data.size() % distance != 0 || data.size() >= (1u << 17)) {
            throw std::logic_error("bad DELTA segment");
        }
        std::size_t planeSize = data.size() / distance;
        std::vector<std::uint8_t> block(data.size());
        for (std::size_t position = 0; position < planeSize; ++position) {
            for (std::size_t plane = 0; plane < distance; ++plane) {
                block[plane * planeSize + position] = data[position * distance + plane];
            }
        }
        for (auto& byte : block) {
            std::uint8_t value = byte;
            byte = static_cast<std::uint8_t>(value - deltaSum);
            deltaSum = value;
        }
        Tokenize(block);
    }

    void Sound(const Segment& segment, const Segment* next) {
        if (segment.data.size() % 4 != 0) throw std::logic_error("SOUND segment not in whole samples");
        SoundDecoder model;  // only for its predictor arithmetic
        std::array<SoundDecoder::Channel, 3> channels{};
        std::vector<std::pair<unsigned, unsigned>> symbols;  // model, symbol
        Bits after;                                          // mode bits after the final type code
        const unsigned mode = segment.mode;
        const auto& data = segment.data;
        auto valueOf = [&](const SoundDecoder::Channel& channel, std::uint8_t byte) {
            return (byte - SoundDecoder::Predict(channel)) & 0xFF;
        };
        auto rawOf = [](int value) { return value < 128 ? 2 * value : 2 * (255 - value) + 1; };
        for (std::size_t i = 0; i < data.size(); ++i) {
            unsigned index = SoundDecoder::ChannelOfByte(mode, i);
            auto& channel = channels[index];
            int value = valueOf(channel, data[i]);
            if (channel.state == 2) {
                if (value != 0) throw std::logic_error("SOUND run planned wrongly");
                channel.state = channel.code == 0 ? 1 : 2;
                if (channel.code > 0) --channel.code;
            } else if (channel.state == 1) {
                symbols.push_back({2 + 3 * index, static_cast<unsigned>(rawOf(value))});
                channel.state = 0;
            } else if (value == 0) {
                // Count the zeros this channel would produce next, up to 32, within the segment.
                SoundDecoder::Channel ahead = channel;
                unsigned run = 0;
                for (std::size_t j = i; j < data.size() && run < 32; ++j) {
                    if (SoundDecoder::ChannelOfByte(mode, j) != index) continue;
                    if (valueOf(ahead, data[j]) != 0) break;
                    model.Adapt(ahead, data[j]);
                    ++run;
                }
                symbols.push_back({static_cast<unsigned>(channel.adaptModel) + 3 * index, run - 1});
                channel.code = run - 1;
                channel.state = channel.code == 0 ? 1 : 2;
                if (channel.code > 0) --channel.code;
            } else {
                unsigned raw = static_cast<unsigned>(rawOf(value));
                symbols.push_back({static_cast<unsigned>(channel.adaptModel) + 3 * index, raw + 32});
                channel.adaptCount = ((channel.adaptCount * 7) >> 3) + static_cast<int>(raw);
                channel.adaptModel = channel.adaptCount > 40 ? 1 : 0;
            }
            model.Adapt(channel, data[i]);
        }
        if (next) {
            unsigned index = SoundDecoder::ChannelOfByte(mode, data.size());
            auto& channel = channels[index];
            if (channel.state == 2) throw std::logic_error("SOUND segment ends inside a run");
            unsigned modelIndex =
                channel.state == 1 ? 2 + 3 * index : static_cast<unsigned>(channel.adaptModel) + 3 * index;
            symbols.push_back({modelIndex, SoundDecoder::kTypeCode});
            PutModeSwitch(after, *next);
        }
        const unsigned tables = (mode == kModeSound8 ? 1u : mode == kModeSound16 ? 2u : 3u) * 3;
        Event event;
        for (std::size_t i = 0; i < symbols.size(); ++i) {
            if (i % 32767 == 0) {
                for (unsigned t = 0; t < tables; ++t) soundTable.Define(event.bits);
                event.bits.push_back(
                    {static_cast<std::uint32_t>(std::min<std::size_t>(32767, symbols.size() - i)), 15});
            }
            soundTable.Encode(event.bits, symbols[i].second);
        }
        event.bits.insert(event.bits.end(), after.begin(), after.end());
        events.push_back(std::move(event));
        window.insert(window.end(), data.begin(), data.end());
    }

    static void PutRice(Bits& out, std::uint64_t value, unsigned remainderBits) {
        if (remainderBits > 0)
            out.push_back({static_cast<std::uint32_t>(value & ((1u << remainderBits) - 1)), remainderBits});
        for (std::uint64_t q = value >> remainderBits; q > 0; --q) out.push_back({1, 1});
        out.push_back({0, 1});
    }

    void Pic(const Segment& segment, const Segment* next) {
        const std::size_t width = segment.picWidth, planes = segment.picPlanes;
        const auto& data = segment.data;
        if (width == 0 || data.size() % width != 0) throw std::logic_error("PIC segment not in whole rows");
        Event event;
        Bits& out = event.bits;
        PutRice(out, width, 12);
        PutRice(out, planes, 2);
        PicModel model;
        const std::size_t size = width + planes;
        std::vector<std::uint8_t> last(size, 0), row(size, 0);
        for (std::size_t r = 0; r < data.size() / width; ++r) {
            out.push_back({1, 1});
            std::fill(row.begin(), row.end(), 0);
            for (std::size_t plane = 0; plane < planes; ++plane) {
                int m = plane == 0 ? 0 : 1;
                int predictor = plane == 0 ? 0 : static_cast<int>((r + plane) % 3);
                if (plane > 0) out.push_back({static_cast<std::uint32_t>(predictor), 2});
                model.StartPlane(predictor, last[plane], last[(plane + size - 1) % size]);
                for (std::size_t column = plane; column < width; column += planes) {
                    int context = model.NextContext(predictor, last[planes + column], last[planes + column - 1]);
                    unsigned bits = model.BeginPixel(m, context);
                    int wanted = data[r * width + column];
                    int left = row[(column + size - 1) % size];
                    int x = wanted - PicModel::PlaneOffset(predictor, left);
                    int error = Signed(x - model.Predicted(m, context));
                    PutRice(out, error >= 0 ? 2u * static_cast<unsigned>(error) : static_cast<unsigned>(-2 * error - 1),
                            bits);
                    model.FinishPixel(m, context, error);
                    row[column] = static_cast<std::uint8_t>(model.Produce(predictor, left));
                }
            }
            last = row;
        }
        if (next) {
            out.push_back({0, 1});
            PutModeSwitch(out, *next);
        }
        events.push_back(std::move(event));
        window.insert(window.end(), data.begin(), data.end());
    }
};

StreamWriter::StreamWriter(unsigned dictionaryBits) : m_state(new State(dictionaryBits)) {}
StreamWriter::~StreamWriter() { delete m_state; }

void StreamWriter::SetDictionaryBits(unsigned bits) { m_state->dictionary = std::size_t{1} << bits; }

void StreamWriter::AddStored(const std::vector<std::uint8_t>& data) {
    std::size_t start = m_state->window.size();
    m_state->window.insert(m_state->window.end(), data.begin(), data.end());
    for (std::size_t i = start; i < m_state->window.size(); ++i) m_state->Index(i);
}

std::vector<std::uint8_t> StreamWriter::Lz77(const std::vector<std::uint8_t>& data) {
    std::fill(std::begin(m_state->history), std::end(m_state->history), 0u);
    m_state->Tokenize(data);
    return m_state->Emit();
}

std::vector<std::uint8_t> StreamWriter::Blocked(const std::vector<Segment>& segments) {
    State& s = *m_state;
    std::fill(std::begin(s.history), std::end(s.history), 0u);
    s.deltaSum = 0;
    std::uint64_t position = 0;
    std::uint8_t mode = kModeLz77;
    for (std::size_t k = 0; k < segments.size(); ++k) {
        const Segment& segment = segments[k];
        const Segment* next = k + 1 < segments.size() ? &segments[k + 1] : nullptr;
        if (k == 0 && segment.mode != kModeLz77) s.SwitchTo(segment, false);
        if (k > 0 && segment.mode == mode && (mode >= kModeSound8)) {
            throw std::logic_error("SOUND and PIC segments need another mode between them");
        }
        switch (segment.mode) {
            case kModeLz77: s.Tokenize(segment.data); break;
            case kModeExe: s.Exe(segment, position); break;
            case kModeDelta: s.Delta(segment); break;
            case kModePic: s.Pic(segment, next); break;
            default: s.Sound(segment, next); break;
        }
        if (next && segment.mode <= kModeExe) s.SwitchTo(*next, segment.mode == kModeDelta);
        position += segment.data.size();
        mode = segment.mode;
    }
    return s.Emit();
}

namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutBlock(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& body) {
    PutLe(out, Crc16(body.data(), body.size()), 2);
    PutLe(out, body.size(), 2);
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

std::vector<std::uint8_t> BuildArchive(ArchiveLayout layout) {
    std::vector<std::uint8_t> out = layout.stub;
    std::vector<std::uint8_t> main;
    main.push_back(0);
    PutLe(main, layout.solid ? 0x8000 : 0, 2);
    main.insert(main.end(), {'*', '*', 'A', 'C', 'E', '*', '*'});
    main.insert(main.end(), {20, 20, 2, 0});
    PutLe(main, 0x5A8E4C21, 4);  // a DOS time
    main.insert(main.end(), 8, 0);
    main.push_back(0);  // AV size, present even without the AV flag
    PutBlock(out, main);
    if (layout.recoveryBlock) {
        std::vector<std::uint8_t> block = {9};
        PutLe(block, 0x0001, 2);
        PutLe(block, 6, 4);
        PutBlock(out, block);
        out.insert(out.end(), {1, 2, 3, 4, 5, 6});
    }
    auto writer = std::make_unique<StreamWriter>(22);
    for (auto& entry : layout.entries) {
        // Only solid archives carry the window from one entry to the next.
        if (!layout.solid) writer = std::make_unique<StreamWriter>(22);
        StreamWriter& stream = *writer;
        std::vector<std::uint8_t> packed;
        stream.SetDictionaryBits(entry.dictionaryBits);
        if (entry.method == 2) {
            if (entry.segments.empty()) entry.segments.push_back(Segment{kModeLz77, entry.data});
            entry.data.clear();
            for (const auto& segment : entry.segments)
                entry.data.insert(entry.data.end(), segment.data.begin(), segment.data.end());
            packed = stream.Blocked(entry.segments);
        } else if (entry.method == 1) {
            packed = stream.Lz77(entry.data);
        } else {
            stream.AddStored(entry.data);
            packed = entry.data;
        }
        std::vector<std::uint8_t> body;
        body.push_back(entry.wideSizes ? 3 : 1);
        std::uint16_t flags =
            0x0001 | (entry.wideSizes ? 0x0004 : 0) | (entry.encryptedFlag ? 0x4000 : 0) | (layout.solid ? 0x8000 : 0);
        PutLe(body, flags, 2);
        PutLe(body, packed.size(), entry.wideSizes ? 8 : 4);
        PutLe(body, entry.data.size(), entry.wideSizes ? 8 : 4);
        PutLe(body, 0x5A8E4C21, 4);
        PutLe(body, entry.attributes, 4);
        std::uint32_t crc = (entry.attributes & 0x10) ? 0xFFFFFFFFu : Crc32(entry.data.data(), entry.data.size());
        PutLe(body, entry.storeCorruptCrc ? crc ^ 1 : crc, 4);
        body.push_back(entry.method);
        body.push_back(entry.method == 0 ? 0 : 3);
        PutLe(body, entry.dictionaryBits - 10, 2);
        PutLe(body, 0, 2);
        PutLe(body, entry.name.size(), 2);
        body.insert(body.end(), entry.name.begin(), entry.name.end());
        PutBlock(out, body);
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

std::vector<std::uint8_t> SampleBytes(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> out;
    out.reserve(size);
    std::uint32_t state = seed * 2654435761u + 1;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    static const char* words[] = {"archive ", "window ", "entry ", "zel ", "scanner ", "\r\n", "0123 ", "ACE "};
    while (out.size() < size) {
        std::uint32_t r = next();
        if (r % 5 == 0 && out.size() > 64) {
            std::size_t back = 1 + next() % std::min<std::size_t>(out.size(), 40000);
            std::size_t length = 3 + next() % 60;
            for (std::size_t i = 0; i < length && out.size() < size; ++i) out.push_back(out[out.size() - back]);
        } else if (r % 5 == 1) {
            out.push_back(static_cast<std::uint8_t>(next()));
        } else {
            for (const char* c = words[next() % 8]; *c && out.size() < size; ++c)
                out.push_back(static_cast<std::uint8_t>(*c));
        }
    }
    return out;
}

std::vector<std::uint8_t> WaveBytes(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> out(size);
    std::uint32_t state = seed + 7;
    int value = 0, velocity = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        state = state * 1103515245u + 12345u;
        velocity += static_cast<int>((state >> 16) % 41) - 20 - velocity / 16;
        value += velocity;
        value = std::clamp(value, -30000, 30000);
        if (i % 512 < 24) value = 0;  // stretches of silence give zero runs
        out[i] = static_cast<std::uint8_t>(value & 0xFF);
        out[i + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    }
    return out;
}

}  // namespace zel::ace::test
