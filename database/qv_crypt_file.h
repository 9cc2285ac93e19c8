// CQVCryptFile: a CFile whose Read deciphers and whose Write enciphers with a repeating-key XOR
// keyed by the absolute file position, so the archive above it sees plain bytes at any offset.
#pragma once

#include "fileio/file.h"
#include "framework/framework_types.h"

class CQVCryptFile : public CFile {
public:
    // The key of the trojan database file.
    static constexpr const char* kDatabaseKey = "5B8E21C0F7A94D36E2B0C98F1A47D5E3B60a2C91F84E7D05A3C6B9E21F0D4A87";

    CQVCryptFile() = default;

    // Replaces the key; its characters are the key bytes and its length the period. An empty key
    // switches the cipher off.
    void SetKey(CString key);
    // Nonzero turns the cipher on.
    void EnableCipher(int enable) { m_cipherOn = enable; }

    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;

    // XOR `length` bytes in place with the key, starting at key index `start_key_index`.
    virtual void EncryptBuffer(BYTE* buffer, UINT length, int start_key_index);
    virtual void DecryptBuffer(BYTE* buffer, UINT length, int start_key_index);

private:
    bool CipherActive() const { return m_cipherOn != 0 && !m_key.empty(); }
    int KeyIndexAt(std::uint64_t position) const;
    void XorWithKey(BYTE* buffer, UINT length, int start_key_index) const;

    CString m_key;
    // The key repeated far enough that 8 key bytes from any key index lie side by side, so that
    // whole words are deciphered at once.
    CString m_keyStream;
    int m_cipherOn = 0;
};
