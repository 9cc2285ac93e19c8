// The MSZIP method: every data block is "CK" followed by a complete deflate stream (RFC 1951) that
// may refer back into the previous 32 KiB of the folder's output. zlib's raw inflate does the
// deflate decoding; the history is handed to it as a preset dictionary for each block.
#pragma once

#include <zlib.h>

#include <cstdint>

#include "archive/cabinet/cab_decoder.h"

namespace zel::cabinet {

class CMszipDecoder final : public CCabDecoder {
public:
    static constexpr std::uint32_t kHistorySize = 32768;

    // Init: sets up zlib and the history buffer through `memory`; check Ready() afterwards.
    explicit CMszipDecoder(const CabMemory& memory);
    ~CMszipDecoder() override;
    CMszipDecoder(const CMszipDecoder&) = delete;
    CMszipDecoder& operator=(const CMszipDecoder&) = delete;

    bool Ready() const { return m_ready; }
    bool Decompress(const BYTE* in, std::uint32_t inLen, BYTE* out, std::uint32_t outLen) override;
    bool Reset() override;

private:
    void Remember(const BYTE* data, std::uint32_t length);

    CabMemory m_memory;
    z_stream m_stream{};
    bool m_ready = false;
    BYTE* m_history = nullptr;  // the last m_historyLength bytes of the folder's output
    std::uint32_t m_historyLength = 0;
};

}  // namespace zel::cabinet
