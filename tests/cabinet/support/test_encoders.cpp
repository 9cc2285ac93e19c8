// The stored and MSZIP test encoders, and what the LZX and Quantum encoders share.
#include "tests/cabinet/support/test_encoders.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <queue>
#include <stdexcept>

namespace zel::cabinet::test {
namespace {

class CStoredEncoder final : public CFrameEncoder {
public:
    Bytes EncodeFrame(const Bytes& data, std::size_t start, std::size_t length) override {
        return Bytes(data.begin() + std::ptrdiff_t(start), data.begin() + std::ptrdiff_t(start + length));
    }
};

// "CK" and a raw deflate stream per frame, primed with the previous 32 KiB as a dictionary.
class CMszipEncoder final : public CFrameEncoder {
public:
    explicit CMszipEncoder(int level) : m_level(level) {}
    Bytes EncodeFrame(const Bytes& data, std::size_t start, std::size_t length) override {
        z_stream z{};
        if (deflateInit2(&z, m_level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw std::runtime_error("deflateInit2");
        }
        std::size_t history = std::min<std::size_t>(start, 32768);
        if (history > 0) deflateSetDictionary(&z, data.data() + start - history, uInt(history));
        Bytes out(2 + deflateBound(&z, uLong(length)) + 16);
        out[0] = 'C';
        out[1] = 'K';
        z.next_in = const_cast<Bytef*>(data.data() + start);
        z.avail_in = uInt(length);
        z.next_out = out.data() + 2;
        z.avail_out = uInt(out.size() - 2);
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
        out.resize(2 + z.total_out);
        deflateEnd(&z);
        return out;
    }

private:
    int m_level;
};

}  // namespace

std::unique_ptr<CFrameEncoder> MakeStoredEncoder() { return std::make_unique<CStoredEncoder>(); }
std::unique_ptr<CFrameEncoder> MakeMszipEncoder(int level) { return std::make_unique<CMszipEncoder>(level); }

CMatchFinder::CMatchFinder(const Bytes& data, std::uint32_t maxDistance, int maxChain)
    : m_data(data), m_maxDistance(maxDistance), m_maxChain(maxChain), m_head(1 << 16, -1), m_prev(data.size(), -1) {}

namespace {
inline std::uint32_t Hash3(const std::uint8_t* p) { return ((p[0] << 8) ^ (p[1] << 4) ^ p[2]) & 0xFFFF; }
}  // namespace

void CMatchFinder::Insert(std::size_t pos) {
    for (; m_inserted < pos; ++m_inserted) {
        if (m_inserted + 3 > m_data.size()) continue;
        std::uint32_t h = Hash3(&m_data[m_inserted]);
        m_prev[m_inserted] = m_head[h];
        m_head[h] = std::int64_t(m_inserted);
    }
}

std::uint32_t CMatchFinder::Find(std::size_t pos, std::uint32_t maxLength, std::uint32_t minLength,
                                 std::uint32_t* distance) {
    Insert(pos);
    if (maxLength < minLength || pos + 3 > m_data.size()) return 0;
    maxLength = std::uint32_t(std::min<std::size_t>(maxLength, m_data.size() - pos));
    std::uint32_t best = 0;
    std::int64_t candidate = m_head[Hash3(&m_data[pos])];
    for (int chain = 0; candidate >= 0 && chain < m_maxChain; ++chain, candidate = m_prev[candidate]) {
        std::size_t d = pos - std::size_t(candidate);
        if (d > m_maxDistance) break;
        std::uint32_t len = 0;
        while (len < maxLength && m_data[std::size_t(candidate) + len] == m_data[pos + len]) ++len;
        if (len > best) {
            best = len;
            *distance = std::uint32_t(d);
            if (len == maxLength) break;
        }
    }
    return best >= minLength ? best : 0;
}

std::vector<std::uint8_t> HuffmanLengths(std::vector<std::uint32_t> freq, int maxLength) {
    const std::size_t n = freq.size();
    std::size_t used = std::count_if(freq.begin(), freq.end(), [](std::uint32_t f) { return f > 0; });
    // A complete code needs two symbols at least.
    for (std::size_t i = 0; used < 2 && i < n; ++i) {
        if (freq[i] == 0) {
            freq[i] = 1;
            ++used;
        }
    }
    for (;;) {
        // Plain Huffman by merging the two lightest nodes.
        struct Node {
            std::uint64_t weight;
            int left, right;
        };
        std::vector<Node> nodes;
        using Item = std::pair<std::uint64_t, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
        std::vector<int> leafOf(n, -1);
        for (std::size_t i = 0; i < n; ++i) {
            if (freq[i] == 0) continue;
            leafOf[i] = int(nodes.size());
            nodes.push_back(Node{freq[i], -1, int(i)});
            queue.push({freq[i], leafOf[i]});
        }
        while (queue.size() > 1) {
            auto a = queue.top();
            queue.pop();
            auto b = queue.top();
            queue.pop();
            nodes.push_back(Node{a.first + b.first, a.second, b.second});
            queue.push({a.first + b.first, int(nodes.size()) - 1});
        }
        std::vector<std::uint8_t> lengths(n, 0);
        std::vector<int> depth(nodes.size(), 0);
        int longest = 0;
        for (int i = int(nodes.size()) - 1; i >= 0; --i) {
            if (nodes[i].left < 0) {
                lengths[nodes[i].right] = std::uint8_t(depth[i]);
                longest = std::max(longest, depth[i]);
            } else {
                depth[nodes[i].left] = depth[nodes[i].right] = depth[i] + 1;
            }
        }
        if (longest <= maxLength) return lengths;
        // Too deep: flatten the frequencies and try again.
        for (auto& f : freq) {
            if (f > 0) f = (f >> 1) | 1;
        }
    }
}

}  // namespace zel::cabinet::test
