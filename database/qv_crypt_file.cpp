#include "database/qv_crypt_file.h"

#include <cstring>
#include <vector>

void CQVCryptFile::SetKey(CString key) {
    m_key = std::move(key);
    m_keyStream.clear();
    while (!m_key.empty() && m_keyStream.size() < m_key.size() + sizeof(std::uint64_t)) m_keyStream += m_key;
}

void CQVCryptFile::XorWithKey(BYTE* buffer, UINT length, int start_key_index) const {
    const std::size_t key_length = m_key.size();
    if (key_length == 0) return;
    std::size_t k = static_cast<std::size_t>(start_key_index);
    if (start_key_index < 0 || k >= key_length) k = 0;  // an index outside the key would read beyond it
    UINT i = 0;
    for (; i + sizeof(std::uint64_t) <= length; i += sizeof(std::uint64_t)) {
        std::uint64_t data;
        std::uint64_t key;
        std::memcpy(&data, buffer + i, sizeof data);
        std::memcpy(&key, m_keyStream.data() + k, sizeof key);
        data ^= key;
        std::memcpy(buffer + i, &data, sizeof data);
        k += sizeof(std::uint64_t);
        while (k >= key_length) k -= key_length;  // no division per word
    }
    for (; i < length; ++i) {
        buffer[i] ^= static_cast<BYTE>(m_key[k]);
        if (++k >= key_length) k = 0;
    }
}

void CQVCryptFile::EncryptBuffer(BYTE* buffer, UINT length, int start_key_index) {
    XorWithKey(buffer, length, start_key_index);
}

void CQVCryptFile::DecryptBuffer(BYTE* buffer, UINT length, int start_key_index) {
    // The same routine, deliberately not through the virtual table.
    XorWithKey(buffer, length, start_key_index);
}

int CQVCryptFile::KeyIndexAt(std::uint64_t position) const {
    // Positions are 32-bit file offsets; the remainder is taken unsigned.
    return static_cast<int>(static_cast<std::uint32_t>(position) % m_key.size());
}

UINT CQVCryptFile::Read(void* buffer, UINT count) {
    if (!CipherActive()) return CFile::Read(buffer, count);
    int key_index = KeyIndexAt(GetPosition());
    UINT read = CFile::Read(buffer, count);
    DecryptBuffer(static_cast<BYTE*>(buffer), read, key_index);
    return read;
}

void CQVCryptFile::Write(const void* buffer, UINT count) {
    if (!CipherActive()) {
        CFile::Write(buffer, count);
        return;
    }
    int key_index = KeyIndexAt(GetPosition());
    std::vector<BYTE> enciphered(count);
    if (count > 0) std::memcpy(enciphered.data(), buffer, count);
    EncryptBuffer(enciphered.data(), count, key_index);
    CFile::Write(enciphered.data(), count);
}
