// The on-disk layout of ACE archives: block types, flag bits, field offsets and the limits that
// every reader checks before it trusts a value. All integers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::ace {

// Every block starts with HEAD_CRC (u16) and HEAD_SIZE (u16); HEAD_SIZE bytes follow, starting
// with HEAD_TYPE (u8) and HEAD_FLAGS (u16). The CRC covers exactly those HEAD_SIZE bytes.
inline constexpr std::size_t kBlockPrefixSize = 4;
inline constexpr std::size_t kBlockCrcOffset = 0;
inline constexpr std::size_t kBlockSizeOffset = 2;
inline constexpr std::size_t kMinHeaderSize = 3;  // type and flags

enum HeaderType : std::uint8_t {
    kTypeMain = 0,
    kTypeFile32 = 1,
    kTypeRecovery32 = 2,
    kTypeFile64 = 3,
};

// Flags common to every block.
inline constexpr std::uint16_t kFlagAddSize = 0x0001;  // a data size follows the flags
inline constexpr std::uint16_t kFlagComment = 0x0002;
inline constexpr std::uint16_t kFlag64Bit = 0x0004;  // sizes are u64

// Main header flags.
inline constexpr std::uint16_t kMainFlagMultiVolume = 0x0800;
inline constexpr std::uint16_t kMainFlagSolid = 0x8000;

// File header flags.
inline constexpr std::uint16_t kFileFlagNtSecurity = 0x0400;
inline constexpr std::uint16_t kFileFlagContinuedFromPrevious = 0x1000;
inline constexpr std::uint16_t kFileFlagContinuedInNext = 0x2000;
inline constexpr std::uint16_t kFileFlagEncrypted = 0x4000;
inline constexpr std::uint16_t kFileFlagSolid = 0x8000;

inline constexpr std::uint32_t kAttributeDirectory = 0x10;

// The signature inside the main header, 7 bytes after the block start.
inline constexpr char kSignature[] = "**ACE**";
inline constexpr std::size_t kSignatureSize = 7;
inline constexpr std::size_t kSignatureOffset = 7;
// Self-extracting archives carry a program before the archive. The signature is looked for while
// it starts within the first 512 KiB, the same reach as the reference unpacker's search.
inline constexpr std::uint64_t kSignatureSearchLimit = 512 * 1024;

// Main header body (offsets from HEAD_TYPE): signature at 3, version needed at 10, version made
// at 11, host at 12, volume number at 13, time at 14, 8 reserved bytes, then the optional AV and
// comment fields, which this reader does not need.
inline constexpr std::size_t kMainVolumeOffset = 13;
inline constexpr std::size_t kMainMinSize = 18;

// Compression methods (TECH_INFO.TYPE).
enum Method : std::uint8_t {
    kMethodStored = 0,
    kMethodLz77 = 1,     // ACE 1.0
    kMethodBlocked = 2,  // ACE 2.0
};

// Dictionary sizes are 2^(10 + n) for the low 4 bits n of TECH_INFO.PARM; the format defines
// 1 KiB to 4 MiB, and anything larger is rejected rather than allocated.
inline constexpr unsigned kMinDictionaryBits = 10;
inline constexpr unsigned kMaxDictionaryBits = 22;

// A name must fit the 260-byte field of the header record with its terminating zero.
inline constexpr std::size_t kMaxNameLength = 259;

}  // namespace zel::ace
