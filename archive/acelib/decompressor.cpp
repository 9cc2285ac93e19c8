#include "archive/acelib/decompressor.h"

#include <algorithm>

#include "archive/acelib/ace_crc.h"
#include "archive/acelib/ace_error.h"
#include "archive/acelib/filters.h"

namespace zel::ace {
namespace {

// Output is produced in pieces of at most this size, well inside the window, so that the bytes
// of a piece are still in the window when they are handed out.
constexpr std::size_t kPiece = 256 * 1024;

}  // namespace

// Counts, checksums and forwards the unpacked bytes; refuses anything past the entry's size.
class Decompressor::Output {
public:
    Output(ByteSink& sink, std::uint64_t size) : m_sink(sink), m_size(size) {}
    void Write(const std::uint8_t* data, std::size_t size) {
        std::size_t allowed = static_cast<std::size_t>(std::min<std::uint64_t>(size, Left()));
        if (allowed == 0) return;
        m_crc = UpdateCrc(m_crc, data, allowed);
        m_sink.Write(data, allowed);
        m_written += allowed;
    }
    std::uint64_t Left() const { return m_size - m_written; }
    std::uint64_t Written() const { return m_written; }
    std::uint32_t Crc() const { return m_crc; }

private:
    ByteSink& m_sink;
    std::uint64_t m_size;
    std::uint64_t m_written = 0;
    std::uint32_t m_crc = kCrcInitial;
};

Decompressor::Decompressor() : m_window(std::make_unique<Window>()), m_lz77(*m_window) {}

std::uint32_t Decompressor::Unpack(unsigned method, unsigned dictionaryBits, ByteSource& packed, std::uint64_t size,
                                   ByteSink& out) {
    if (method != kMethodStored && (dictionaryBits < kMinDictionaryBits || dictionaryBits > kMaxDictionaryBits)) {
        throw AceError(AceError::kUnsupported, "dictionary size out of range");
    }
    Output output(out, size);
    m_lz77.Begin();
    m_pending.clear();
    m_exeHeld.clear();
    m_deltaSum = 0;
    if (method == kMethodStored) {
        UnpackStored(packed, output);
    } else if (method == kMethodLz77 || method == kMethodBlocked) {
        if (size > 0) {
            BitReader bits(packed);
            if (method == kMethodLz77) {
                UnpackLz77(bits, output);
            } else {
                UnpackBlocked(bits, output);
            }
        }
    } else {
        throw AceError(AceError::kUnsupported, "unknown compression method");
    }
    m_lz77.EndEntry();
    return output.Crc();
}

void Decompressor::UnpackStored(ByteSource& packed, Output& out) {
    m_buffer.resize(kPiece);
    while (out.Left() > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, out.Left()));
        std::size_t got = packed.Read(m_buffer.data(), want);
        if (got == 0) ThrowData("stored data ends too early");
        m_window->Append(m_buffer.data(), got);
        out.Write(m_buffer.data(), got);
    }
    m_lz77.SyncMark();
}

void Decompressor::TakeLz77(std::size_t count) {
    std::size_t old = m_pending.size();
    m_pending.resize(old + count);
    m_window->CopyOut(m_lz77.Mark() - count, count, m_pending.data() + old);
}

void Decompressor::UnpackLz77(BitReader& bits, Output& out) {
    while (out.Left() > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, out.Left()));
        auto result = m_lz77.Read(bits, want, false);
        if (result.switched) ThrowData("mode switch in an ACE 1.0 stream");
        m_pending.clear();
        TakeLz77(result.count);
        out.Write(m_pending.data(), m_pending.size());
    }
}

void Decompressor::UnpackBlocked(BitReader& bits, Output& out) {
    ModeSwitch mode;  // every entry starts in plain LZ77
    while (out.Left() > 0) {
        ModeSwitch next;
        bool switched = false;
        switch (mode.mode) {
            case kModeLz77:
            case kModeExe: switched = RunLz77(bits, out, mode, next); break;
            case kModeDelta: switched = RunDelta(bits, out, mode, next); break;
            case kModeSound8:
            case kModeSound16:
            case kModeSound32A:
            case kModeSound32B: switched = RunSound(bits, out, next); break;
            case kModePic: switched = RunPic(bits, out, next); break;
            default: ThrowData("unknown ACE 2.0 mode");
        }
        if (!switched) continue;
        if (next.mode != mode.mode && out.Left() > 0) {
            if (next.mode >= kModeSound8 && next.mode <= kModeSound32B) m_sound.Begin(next.mode);
            if (next.mode == kModePic) m_pic.Begin(bits);
        }
        mode = next;
    }
    // Bytes held back for an instruction that the entry's end cut off are written as they are.
    if (!m_exeHeld.empty()) out.Write(m_exeHeld.data(), m_exeHeld.size());
}

bool Decompressor::RunLz77(BitReader& bits, Output& out, const ModeSwitch& mode, ModeSwitch& next) {
    const bool exe = mode.mode == kModeExe;
    m_pending.swap(m_exeHeld);
    m_exeHeld.clear();
    for (;;) {
        std::uint64_t room = out.Left() - std::min<std::uint64_t>(out.Left(), m_pending.size());
        Lz77Decoder::Result result;
        if (room > 0) {
            result = m_lz77.Read(bits, static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, room)), false);
            TakeLz77(result.count);
        }
        const bool end = m_pending.size() >= out.Left();
        std::size_t ready = m_pending.size();
        if (exe) {
            std::size_t scanned = UndoExeFilter(m_pending.data(), m_pending.size(), out.Written(), mode.exeMode);
            if (result.switched) {
                ready = ExeHoldBackStart(m_pending.data(), m_pending.size(), scanned);
            } else if (!end) {
                ready = scanned;
            }
        }
        out.Write(m_pending.data(), ready);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(ready));
        if (result.switched) {
            m_exeHeld.swap(m_pending);
            m_pending.clear();
            next = result.next;
            return true;
        }
        if (end || out.Left() == 0) {
            m_pending.clear();
            return false;
        }
    }
}

bool Decompressor::RunDelta(BitReader& bits, Output& out, const ModeSwitch& mode, ModeSwitch& next) {
    const unsigned distance = mode.deltaDistance;
    const std::size_t length = mode.deltaLength;
    if (distance == 0 || length == 0 || length % distance != 0) ThrowData("invalid DELTA block");
    m_deltaBlock.clear();
    bool switched = false;
    while (m_deltaBlock.size() < length) {
        std::size_t left = length - m_deltaBlock.size();
        std::size_t want = std::min(left, kPiece);
        auto result = m_lz77.Read(bits, want, want == left);
        std::size_t old = m_deltaBlock.size();
        m_deltaBlock.resize(old + result.count);
        m_window->CopyOut(m_lz77.Mark() - result.count, result.count, m_deltaBlock.data() + old);
        if (result.switched) {
            if (switched) ThrowData("two mode switches in one DELTA block");
            switched = true;
            next = result.next;
        }
    }
    UndoDeltaFilter(m_deltaBlock, distance, m_deltaSum, m_buffer);
    out.Write(m_buffer.data(), m_buffer.size());
    return switched;
}

bool Decompressor::RunSound(BitReader& bits, Output& out, ModeSwitch& next) {
    // A run produces whole groups of four bytes; a run that cannot is corrupt data.
    const std::uint64_t limit = out.Left() & ~std::uint64_t{3};
    if (limit == 0) ThrowData("SOUND run shorter than one sample");
    m_sound.StartRun();
    m_buffer.resize(kPiece);
    std::uint64_t done = 0;
    while (done < limit) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, limit - done));
        bool switched = false;
        std::size_t got = m_sound.Decode(bits, m_buffer.data(), want, switched, next);
        m_window->Append(m_buffer.data(), got);
        m_lz77.SyncMark();
        out.Write(m_buffer.data(), got);
        done += got;
        if (switched) return true;
    }
    return false;
}

bool Decompressor::RunPic(BitReader& bits, Output& out, ModeSwitch& next) {
    m_buffer.resize(kPiece);
    while (out.Left() > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, out.Left()));
        bool switched = false;
        std::size_t got = m_pic.Decode(bits, m_buffer.data(), want, switched, next);
        m_window->Append(m_buffer.data(), got);
        m_lz77.SyncMark();
        out.Write(m_buffer.data(), got);
        if (switched) return true;
    }
    return false;
}

}  // namespace zel::ace
