// The decompressor's context: the callbacks, the open cabinet and the position in its folder.
// Internal to the decompressor; its users see only the opaque CabContext of cabinet.h.
#pragma once

#include <cstdint>

#include "archive/cabinet/cab_decoder.h"
#include "archive/cabinet/cabinet.h"
#include "platform/files.h"

namespace zel::cabinet {

// Limits of the format.
inline constexpr std::uint32_t kCabHeaderSize = 36;
inline constexpr std::uint32_t kCabMaxString = 256;  // a name with its terminator
// Directory + name: as long as any path the system opens, so a cabinet deep in a folder tree is
// read like any other.
inline constexpr std::uint32_t kCabMaxPath = std::uint32_t(platform::kMaxPathLength);
inline constexpr std::uint32_t kCabFileEntrySize = 16;                   // before the name
inline constexpr std::uint32_t kCabFolderEntrySize = 8;                  // before the folder reserve
inline constexpr std::uint32_t kCabDataHeaderSize = 8;                   // before the data reserve
inline constexpr std::uint32_t kCabMaxInput = kCabMaxBlockSize + 10240;  // the largest margin

// Field offsets (see docs/formats/cab.md). All numbers are little-endian.
// The cabinet header:
inline constexpr std::uint32_t kHeaderSignatureAt = 0;  // "MSCF"
inline constexpr std::uint32_t kHeaderCabinetSizeAt = 8;
inline constexpr std::uint32_t kHeaderFirstFileAt = 16;
inline constexpr std::uint32_t kHeaderVersionMinorAt = 24;
inline constexpr std::uint32_t kHeaderVersionMajorAt = 25;
inline constexpr std::uint32_t kHeaderFolderCountAt = 26;
inline constexpr std::uint32_t kHeaderFileCountAt = 28;
inline constexpr std::uint32_t kHeaderFlagsAt = 30;
inline constexpr std::uint32_t kHeaderSetIdAt = 32;
inline constexpr std::uint32_t kHeaderCabinetIndexAt = 34;
// The reserve sizes that follow the header when it has the reserve flag:
inline constexpr std::uint32_t kReserveSizesSize = 4;
inline constexpr std::uint32_t kReserveHeaderSizeAt = 0;  // 2 bytes
inline constexpr std::uint32_t kReserveFolderSizeAt = 2;  // 1 byte
inline constexpr std::uint32_t kReserveDataSizeAt = 3;    // 1 byte
// A folder entry:
inline constexpr std::uint32_t kFolderFirstBlockAt = 0;
inline constexpr std::uint32_t kFolderBlockCountAt = 4;
inline constexpr std::uint32_t kFolderCompressionAt = 6;
// A file entry:
inline constexpr std::uint32_t kFileSizeAt = 0;
inline constexpr std::uint32_t kFileOffsetAt = 4;
inline constexpr std::uint32_t kFileFolderAt = 8;
inline constexpr std::uint32_t kFileDateAt = 10;
inline constexpr std::uint32_t kFileTimeAt = 12;
inline constexpr std::uint32_t kFileAttributesAt = 14;
// A data block header:
inline constexpr std::uint32_t kBlockChecksumAt = 0;
inline constexpr std::uint32_t kBlockCompressedAt = 4;
inline constexpr std::uint32_t kBlockUncompressedAt = 6;

// File-entry folder indices with a special meaning.
inline constexpr std::uint16_t kFolderContinuedFromPrevious = 0xFFFD;
inline constexpr std::uint16_t kFolderContinuedToNext = 0xFFFE;
inline constexpr std::uint16_t kFolderContinuedBoth = 0xFFFF;

// Header flags.
inline constexpr std::uint16_t kFlagPrevious = 0x0001;
inline constexpr std::uint16_t kFlagNext = 0x0002;
inline constexpr std::uint16_t kFlagReserve = 0x0004;

struct CabHeader {
    std::uint32_t cabinetSize = 0;
    std::uint32_t firstFileOffset = 0;
    std::uint8_t versionMinor = 0;
    std::uint8_t versionMajor = 0;
    std::uint16_t folderCount = 0;
    std::uint16_t fileCount = 0;
    std::uint16_t flags = 0;
    std::uint16_t setId = 0;
    std::uint16_t cabinetIndex = 0;
};

struct CabFileEntry {
    std::uint32_t size = 0;
    std::uint32_t offset = 0;  // within the folder's uncompressed data
    std::uint16_t folder = 0;
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attributes = 0;
    char name[kCabMaxString] = {};
};

struct CabContext {
    CabCallbacks callbacks{};
    CabMemory memory{};
    int processorType = 0;
    CabErrorRecord* error = nullptr;

    // The cabinet being read: one handle walks the file entries, the other folders and blocks.
    CabHandle fileHandle = -1;
    CabHandle dataHandle = -1;
    CabHeader header;
    bool reserveFixed = false;  // the reserve sizes below were fixed by the set's first cabinet
    std::uint32_t headerReserveSize = 0;
    std::uint32_t folderEntrySize = kCabFolderEntrySize;
    std::uint32_t dataHeaderSize = kCabDataHeaderSize;
    BYTE* headerReserve = nullptr;
    std::uint32_t foldersOffset = 0;
    char directory[kCabMaxPath] = {};  // the set's directory; the next-cabinet notification may change it
    char cabinetName[kCabMaxString] = {};
    char previousCabinet[kCabMaxString] = {};
    char previousDisk[kCabMaxString] = {};
    char nextCabinet[kCabMaxString] = {};
    char nextDisk[kCabMaxString] = {};

    // Where the walk of file entries stands: the file position of the next entry and how many are
    // left. Opening a further cabinet of the set moves the walk to its list.
    std::uint32_t walkPosition = 0;
    std::uint32_t walkRemaining = 0;

    // The notification callback of the running CabCopy.
    CabNotifyFn notify = nullptr;
    void* user = nullptr;

    // The selected decoder and its buffers.
    std::uint16_t compressionType = 0;
    bool methodSelected = false;
    CCabDecoder* decoder = nullptr;
    BYTE* input = nullptr;   // kCabMaxInput bytes
    BYTE* output = nullptr;  // kCabMaxBlockSize bytes

    // Where decoding stands in the current folder. The output buffer holds the folder's bytes
    // [blockStart, blockStart + blockLength).
    int currentFolder = -1;
    std::uint32_t blocksLeft = 0;       // data blocks of the folder not yet read in this cabinet
    std::uint32_t nextBlockOffset = 0;  // file position of the next data block
    std::uint32_t blockStart = 0;
    std::uint32_t blockLength = 0;
    // Every byte decoded since the context was made, whether a file wanted it or not.
    std::uint64_t decodedBytes = 0;

    // A change to the next cabinet in the middle of a file moves the walk to the new cabinet's
    // list; its entries continued from the previous cabinet that start at or after `resumeOffset`
    // (the end of the file that crossed) were not offered yet and are decoded from the folder that
    // goes on. `writingEnd` is the end of the file being written.
    bool continuedFolder = false;
    std::uint32_t resumeOffset = 0;
    std::uint32_t writingEnd = 0;
};

// Records a failure; always returns false.
bool CabFail(CabContext* context, ECabError code, std::int32_t extra = 0);

// cab_cabinet.cpp: opening cabinets, reading headers and names.
bool CabParseHeader(const BYTE* bytes, CabHeader* header);
// Opens directory + name and reads its header, reserve and names, then sends cabNotifyCabinetInfo.
// With `previous`, the cabinet must be the one that follows it in the same set.
bool CabOpenCabinet(CabContext* context, const char* name, const CabHeader* previous);
void CabCloseCabinet(CabContext* context);
bool CabReadFileEntry(CabContext* context, CabFileEntry* entry);
// Moves to the next cabinet of the set (its first folder continues the current one).
bool CabChangeCabinet(CabContext* context);

// cab_folder.cpp: folders and data blocks.
bool CabSelectFolder(CabContext* context, int folder);
bool CabNextBlock(CabContext* context);
void CabReleaseDecoder(CabContext* context);

// Reads exactly `count` bytes through the read callback.
bool CabReadExactly(CabContext* context, CabHandle handle, void* buffer, std::uint32_t count);
bool CabSeekTo(CabContext* context, CabHandle handle, std::uint32_t position);

}  // namespace zel::cabinet
