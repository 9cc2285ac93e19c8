// Arbitrary records and buffers: the indexed search must return exactly what trying every record
// in order returns, in both modes and from every start, also after signatures were changed through
// references kept across searches.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "database/trojan_base2.h"

namespace {

// Reads the input front to back; runs dry as zeros.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint32_t Word32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return value;
    }
    const std::uint8_t* Rest(std::size_t& size) {
        size = m_size - m_pos;
        return m_data + m_pos;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

int Reference(CTrojanBase2& base, const BYTE* buffer, int length, int start, int mode) {
    for (int i = start; i < base.GetSize(); ++i) {
        if (base.GetTrojan(i)->FindMe(buffer, length, mode)) return i;
    }
    return -1;
}

void CompareEverywhere(CTrojanBase2& base, const std::vector<BYTE>& buffer) {
    const int n = static_cast<int>(buffer.size());
    for (int mode = 0; mode < 2; ++mode) {
        for (int start = 0; start <= base.GetSize(); ++start) {
            if (base.Find(buffer.data(), n, start, mode) != Reference(base, buffer.data(), n, start, mode)) {
                std::abort();
            }
        }
    }
}

// Windows from a tiny alphabet, so that the buffer can hold them.
void TinyWindow(BYTE fill, BYTE (&window)[16]) {
    for (int i = 0; i < 16; ++i) window[i] = static_cast<BYTE>((fill >> (i % 8)) & 1);
}

struct Edit {
    std::size_t signature;
    int slot;
    BYTE what;
    std::uint32_t offset;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    CTrojanBase2 base;
    std::vector<CSignature*> kept;
    int records = input.Byte() % 8 + 1;
    for (int r = 0; r < records; ++r) {
        int index = base.Add("T", "N" + std::to_string(r), "1", 0);
        int signatures = input.Byte() % 4;
        for (int s = 0; s < signatures; ++s) base.AddImage(index, std::to_string(s));
        for (int s = 0; s < signatures; ++s) {
            CSignature& signature = base.GetTrojan(index)->GetSignature(s);
            kept.push_back(&signature);
            for (int slot = 0; slot < 3; ++slot) {
                BYTE window[16];
                TinyWindow(input.Byte(), window);
                std::uint32_t offset = input.Byte() % 2 ? input.Word32() : input.Byte();
                signature.SetWindow(slot, window, offset);
            }
        }
    }
    std::vector<Edit> edits(input.Byte() % 4);
    for (auto& edit : edits) edit = {input.Byte(), input.Byte() % 3, input.Byte(), input.Byte()};
    std::size_t length = 0;
    const std::uint8_t* rest = input.Rest(length);
    std::vector<BYTE> buffer(rest, rest + length);
    for (auto& b : buffer) b &= 1;
    CompareEverywhere(base, buffer);
    if (kept.empty()) return 0;
    for (const auto& edit : edits) {
        CSignature& signature = *kept[edit.signature % kept.size()];
        BYTE window[16];
        TinyWindow(edit.what, window);
        switch (edit.what % 3) {
            case 0: signature.SetWindow(edit.slot, window, edit.offset); break;
            case 1: signature.SetOffset(edit.slot, edit.offset); break;
            default: signature.ResetSignatures(); break;
        }
        CompareEverywhere(base, buffer);
    }
    return 0;
}
