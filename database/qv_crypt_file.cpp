#include "database/qv_crypt_file.h"

#include <cstring>
#include <vector>

void CQVCryptFile::XorWithKey(BYTE* buffer, UINT length, int start_key_index) const {
    const int key_length = static_cast<int>(m_key.size());
    if (key_length == 0) return;
    int k = start_key_index;
    if (k < 0 || k >= key_length) k = 0;  // an index outside the key would read beyond it
    for (UINT i = 0; i < length; ++i) {
        buffer[i] ^= static_cast<BYTE>(m_key[static_cast<size_t>(k)]);
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
