// The one exception type of the ACE decoders. It never leaves the library: the C functions catch
// it and turn it into a result code.
#pragma once

#include <stdexcept>

namespace zel::ace {

class AceError : public std::runtime_error {
public:
    enum Kind {
        kData,        // compressed data is corrupt or ends too early
        kFormat,      // a header is malformed or out of bounds
        kHeaderCrc,   // a header's CRC does not match
        kEncrypted,   // the entry is encrypted
        kIo,          // reading or writing a file failed
        kVolume,      // a volume of a set is missing or does not belong
        kUnsupported  // a method or mode that no ACE version defines
    };
    AceError(Kind kind, const char* what) : std::runtime_error(what), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

[[noreturn]] inline void ThrowData(const char* what) { throw AceError(AceError::kData, what); }

}  // namespace zel::ace
