#include "archive/cabinet/mszip_decoder.h"

#include <cstring>

namespace zel::cabinet {
namespace {

// zlib allocates through the decompressor's memory callbacks too.
voidpf ZlibAlloc(voidpf opaque, uInt items, uInt size) {
    auto* memory = static_cast<const CabMemory*>(opaque);
    std::uint64_t bytes = std::uint64_t(items) * size;
    if (bytes == 0 || bytes > 0xFFFFFFFFu) return Z_NULL;
    return memory->alloc(std::uint32_t(bytes));
}

void ZlibFree(voidpf opaque, voidpf address) { static_cast<const CabMemory*>(opaque)->release(address); }

}  // namespace

CMszipDecoder::CMszipDecoder(const CabMemory& memory) : m_memory(memory) {
    m_history = static_cast<BYTE*>(m_memory.alloc(kHistorySize));
    if (m_history == nullptr) return;
    m_stream.zalloc = ZlibAlloc;
    m_stream.zfree = ZlibFree;
    m_stream.opaque = &m_memory;
    m_ready = inflateInit2(&m_stream, -MAX_WBITS) == Z_OK;
}

CMszipDecoder::~CMszipDecoder() {
    if (m_ready) inflateEnd(&m_stream);
    if (m_history != nullptr) m_memory.release(m_history);
}

bool CMszipDecoder::Reset() {
    m_historyLength = 0;
    return m_ready;
}

bool CMszipDecoder::Decompress(const BYTE* in, std::uint32_t inLen, BYTE* out, std::uint32_t outLen) {
    if (!m_ready || inLen < 2 || in[0] != 'C' || in[1] != 'K') return false;
    if (inflateReset(&m_stream) != Z_OK) return false;
    if (m_historyLength > 0 && inflateSetDictionary(&m_stream, m_history, m_historyLength) != Z_OK) return false;

    m_stream.next_in = const_cast<BYTE*>(in + 2);
    m_stream.avail_in = inLen - 2;
    m_stream.next_out = out;
    m_stream.avail_out = outLen;
    int status = inflate(&m_stream, Z_FINISH);
    // The block must be one whole deflate stream that gives exactly outLen bytes. With the output
    // full but the stream not finished, check whether it would produce anything more.
    if (status != Z_STREAM_END && m_stream.avail_out == 0) {
        BYTE probe;
        m_stream.next_out = &probe;
        m_stream.avail_out = 1;
        status = inflate(&m_stream, Z_FINISH);
        if (m_stream.avail_out == 0) return false;
    }
    if (status != Z_STREAM_END || m_stream.total_out != outLen) return false;
    Remember(out, outLen);
    return true;
}

void CMszipDecoder::Remember(const BYTE* data, std::uint32_t length) {
    if (length >= kHistorySize) {
        std::memcpy(m_history, data + length - kHistorySize, kHistorySize);
        m_historyLength = kHistorySize;
        return;
    }
    std::uint32_t keep = kHistorySize - length;
    if (keep > m_historyLength) keep = m_historyLength;
    std::memmove(m_history, m_history + m_historyLength - keep, keep);
    std::memcpy(m_history + keep, data, length);
    m_historyLength = keep + length;
}

}  // namespace zel::cabinet
